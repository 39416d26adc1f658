#include "WorldSupport.h"

#include <poll.h>

namespace zanfir::test {

std::string Client::until(const std::string& marker, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto found = _pending.find(marker);
        if (found != std::string::npos) {
            std::string text = _pending.substr(0, found + marker.size());
            _pending.erase(0, found + marker.size());
            return text;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{_fd[1], POLLIN, 0};
        if (_fd[1] < 0 || left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            ADD_FAILURE() << "no \"" << marker << "\" in: " << _pending;
            return std::exchange(_pending, "");
        }
        char buffer[4096];
        ssize_t n = read(_fd[1], buffer, sizeof buffer);
        if (n <= 0) {
            ADD_FAILURE() << "closed before \"" << marker << "\" in: " << _pending;
            return std::exchange(_pending, "");
        }
        _pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void writeAdventure(const TempDir& dir, const std::string& name,
                    const std::map<std::string, std::string>& files) {
    for (const auto& [extension, text] : files)
        writeFile(dir.file(name + "." + extension), text);
}

} // namespace zanfir::test
