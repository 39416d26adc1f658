#include "common/SocketTerminal.h"

#include <sys/socket.h>
#include <unistd.h>

namespace zanfir {

namespace {

constexpr char BACKSPACE = 8;

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

SocketTerminal::SocketTerminal(int socket, bool echo, bool crlf)
    : ConsoleTerminal(socket, socket), _echo(echo), _crlf(crlf) {}

SocketTerminal::~SocketTerminal() {
    close();
    ::close(_in);
}

void SocketTerminal::close() {
    if (!_closed.exchange(true))
        ::shutdown(_in, SHUT_RDWR);
}

ssize_t SocketTerminal::send(const char* bytes, std::size_t size) {
    return ::send(_out, bytes, size, MSG_NOSIGNAL); // a client gone never raises SIGPIPE
}

std::string SocketTerminal::readLine(bool hidden, std::size_t cap) {
    std::string line;
    while (line.size() < cap) {
        if (_next == _buffer.size() && !fill()) {
            _dead = true;
            break;
        }
        char c = _buffer[_next++];
        if (c == '\0') {
            _dead = true;
            break;
        }
        if (c == BACKSPACE) {
            if (line.empty())
                continue;
            while (line.size() > 1 && isContinuation(line.back()))
                line.pop_back();
            line.pop_back();
            if (_echo)
                write("\b \b");
            continue;
        }
        line += c;
        if (_echo) {
            if (c == '\n')
                write(_crlf ? "\r\n" : "\n");
            else if (!hidden)
                write(std::string(1, c));
            else if (!isContinuation(c))
                write("*");
        }
        if (c == '\n')
            break;
    }
    if (_echo)
        flush(); // the echo of the line end, at once
    return line;
}

} // namespace zanfir
