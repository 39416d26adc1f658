#include "WorldSupport.h"

namespace zanfir::test {

std::string Client::until(const std::string& marker, std::chrono::milliseconds timeout) {
    return readUntil(_fd[1], _pending, marker, timeout);
}

void writeAdventure(const TempDir& dir, const std::string& name,
                    const std::map<std::string, std::string>& files) {
    for (const auto& [extension, text] : files)
        writeFile(dir.file(name + "." + extension), text);
}

} // namespace zanfir::test
