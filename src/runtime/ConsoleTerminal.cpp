#include "runtime/ConsoleTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zanfir {

void ConsoleTerminal::flush() {
    std::size_t done = 0;
    while (done < _pending.size()) {
        ssize_t n = ::write(_out, _pending.data() + done, _pending.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    _pending.clear();
}

bool ConsoleTerminal::fill() {
    flush(); // the prompt reaches the player before we wait
    return receive();
}

bool ConsoleTerminal::receive() {
    if (_ended)
        return false;
    _buffer.erase(0, _next);
    _next = 0;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(_in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            _ended = true;
            return false;
        }
        _buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
}

int ConsoleTerminal::width() const {
    winsize size{};
    if (!_fit_width || ::ioctl(_out, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return 0;
    return std::clamp(static_cast<int>(size.ws_col), MIN_WIDTH, MAX_WIDTH);
}

std::string ConsoleTerminal::readLine(bool, std::size_t cap) {
    for (;;) {
        std::size_t available = _buffer.size() - _next;
        std::size_t newline = _buffer.find('\n', _next);
        std::size_t take = 0;
        if (newline != std::string::npos && newline - _next < cap)
            take = newline - _next + 1;
        else if (available >= cap)
            take = cap;
        else if (!fill())
            take = available;
        if (take > 0 || _ended) {
            std::string line = _buffer.substr(_next, take);
            _next += take;
            if (line.empty())
                _dead = true;
            return line;
        }
    }
}

} // namespace zanfir
