#include "net/SocketTerminal.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "T.h"
#include "runtime/Fibers.h"
#include "runtime/Log.h"
#include "runtime/Settings.h"
#include "util/Util.h"

namespace zanfir {

namespace {

constexpr char BACKSPACE = 8;
constexpr char DEL = 127;

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

SocketTerminal::SocketTerminal(int socket, const Settings& settings, std::string peer,
                               Telnet::Status status)
    : ConsoleTerminal(socket, socket), _echo(settings.remote_in_echo),
      _crlf(settings.remote_out_crlf), _queue_limit(settings.remote_out_queue),
      _send_timeout(settings.remote_send_timeout), _peer(std::move(peer)),
      _telnet(std::move(status)) {}

void SocketTerminal::negotiate() {
    write(_telnet.greeting());
}

SocketTerminal::~SocketTerminal() {
    close();
    ::close(_in);
}

void SocketTerminal::close() {
    if (!_closed.exchange(true))
        ::shutdown(_in, SHUT_RDWR);
}

void SocketTerminal::endInput() {
    if (!_closed)
        ::shutdown(_in, SHUT_RD);
}

void SocketTerminal::write(const std::string& bytes) {
    if (_closed)
        return;
    if (_pending.size() + bytes.size() > _queue_limit) {
        Log::writeG("Remote", Log::WARN, T::ClosedNotReading + _peer + T::ClosedNotReadingX);
        _pending.clear();
        close();
        return;
    }
    _pending += bytes;
}

bool SocketTerminal::sendSome() {
    ssize_t n = ::send(_out, _pending.data(), _pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
        _pending.erase(0, static_cast<std::size_t>(n));
        // A crowded scene's room is given back: thousands of idle sessions
        // would otherwise each keep their largest.
        if (_pending.empty() && _pending.capacity() > KEPT_BYTES)
            std::string().swap(_pending);
        return true;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return true;
    _pending.clear(); // the client is gone: nobody to send to
    return false;
}

void SocketTerminal::flush() {
    auto deadline = std::chrono::steady_clock::now() + _send_timeout;
    while (!_pending.empty() && !_closed) {
        if (!sendSome() || _pending.empty())
            return;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return; // the rest leaves while the session waits for input
        Fibers::poll(_out, POLLOUT, static_cast<int>(left.count()));
    }
}

void SocketTerminal::limitReads(std::chrono::milliseconds idle,
                                std::chrono::steady_clock::time_point deadline) {
    _idle = idle;
    _deadline = deadline;
    _last_input = std::chrono::steady_clock::now();
}

int SocketTerminal::waitLeft() const {
    auto end = _deadline;
    if (_idle.count() > 0)
        end = std::min(end, _last_input + _idle);
    if (end == std::chrono::steady_clock::time_point::max())
        return -1;
    auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60 * 60 * 1000));
}

bool SocketTerminal::fill() {
    for (;;) {
        if (_ended || _closed)
            return false;
        int wait = waitLeft();
        if (wait == 0) { // nothing came in time: a last word, and the end
            Log::writeG("Remote", Log::INFO, T::ClosedSilent + _peer + T::QuoteEnd);
            write(Util::lineEnds(T::TimedOut, _crlf));
            flush();
            _ended = true;
            return false;
        }
        if (!_pending.empty())
            sendSome(); // mostly it all leaves at once: no wait for room

        short events = static_cast<short>(POLLIN | (_pending.empty() ? 0 : POLLOUT));
        bool woken = false;
        int ready = _waker.poll(_in, events, wait, woken);
        if (woken && takesLiveText())
            live(); // what it writes leaves at the top of the loop
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (ready & POLLOUT)
            sendSome();
        if (ready & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            if (!take())
                return false;
            if (_next < _buffer.size()) { // data, not only telnet commands
                _last_input = std::chrono::steady_clock::now();
                return true;
            }
        }
    }
}

bool SocketTerminal::take() {
    std::size_t kept = _buffer.size() - _next;
    if (!receive()) // the buffer now starts with what was kept
        return false;
    std::string bytes = _buffer.substr(kept), reply;
    _buffer.resize(kept);
    _telnet.receive(bytes, _buffer, reply);
    if (!reply.empty()) {
        write(reply);
        sendSome();
    }
    return true;
}

std::string SocketTerminal::readLine(bool hidden, std::size_t cap) {
    // A telnet client is asked to keep a password off its screen; a raw
    // one sees stars.
    bool hiding = hidden && _telnet.spoken();
    if (hidden)
        write(_telnet.hideInput());
    std::string line;
    while (line.size() < cap) {
        if (_next == _buffer.size() && !fill()) {
            _dead = true;
            break;
        }
        char c = _buffer[_next++];
        bool echo = _echo && !_telnet.spoken();
        if (c == '\0') {
            if (line.empty() || line.back() != '\r')
                continue;
            c = '\n'; // CR NUL: the Enter of a telnet client in character mode
        }
        if (c == BACKSPACE || c == DEL) {
            if (line.empty())
                continue;
            while (line.size() > 1 && isContinuation(line.back()))
                line.pop_back();
            line.pop_back();
            if (echo)
                write("\b \b");
            continue;
        }
        line += c;
        if (echo) {
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
    if (hiding) {
        write(_telnet.showInput());
        if (line.ends_with('\n')) // the client did not show the Enter either
            write(_crlf ? "\r\n" : "\n");
    }
    // The echo of a command leaves with its answer (one send, not two), or
    // before the command waits (for its player, for a moment); a password's
    // at once.
    if (hidden)
        flush();
    return line;
}

} // namespace zanfir
