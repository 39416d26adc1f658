#include "common/Input.h"

#include <unistd.h>

#include <cerrno>

#include "common/Output.h"

namespace zanfir {

namespace {
constexpr char BACKSPACE = 8;
bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

Input::Input(int stream, bool remote, Output& out, bool echo)
    : _stream(stream), _out(out), _remote(remote), _echo(echo) {}

std::string Input::readln(bool hidden) {
    if (_dead)
        return "";
    std::string line = _remote ? readRemote(hidden) : readConsole();
    if (_remote && _echo)
        _out.flush(); // the echo of the line end, at once
    // The terminal's own echo of Enter put the cursor back at column 0.
    if (!line.empty() && line.back() == '\n')
        _out.lineEnded();
    return line;
}

bool Input::fill() {
    _out.flush(); // the prompt and the echo reach the player before we wait
    if (_ended)
        return false;
    _buffer.erase(0, _next);
    _next = 0;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(_stream, chunk, sizeof chunk);
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

std::string Input::readConsole() {
    for (;;) {
        std::size_t available = _buffer.size() - _next;
        std::size_t newline = _buffer.find('\n', _next);
        std::size_t take = 0;
        if (newline != std::string::npos && newline - _next < MAX_LINE)
            take = newline - _next + 1;
        else if (available >= MAX_LINE)
            take = MAX_LINE;
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

std::string Input::readRemote(bool hidden) {
    std::string line;
    while (line.size() < MAX_REMOTE_LINE) {
        if (_next == _buffer.size() && !fill()) {
            _dead = true;
            return line;
        }
        char c = _buffer[_next++];
        if (c == '\0') {
            _dead = true;
            return line;
        }
        if (c == BACKSPACE) {
            if (line.empty())
                continue;
            // A UTF-8 letter is removed whole.
            while (line.size() > 1 && isContinuation(line.back()))
                line.pop_back();
            line.pop_back();
            if (_echo)
                _out.write("\b \b");
            continue;
        }
        line += c;
        if (_echo) {
            if (c == '\n')
                _out.println("");
            else if (!hidden)
                _out.write(std::string(1, c));
            else if (!isContinuation(c))
                _out.write("*");
        }
        if (c == '\n')
            break;
    }
    return line;
}

} // namespace zanfir
