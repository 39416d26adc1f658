#pragma once

#include <cstddef>
#include <string>

namespace zanfir {

class Output;

// A session's line input. The console delivers lines as typed; on a
// connection the bytes are read one by one, echoed back (masked when
// hidden) and edited with backspace, since the remote terminal does not.
class Input {
public:
    // The longest line one readln returns, on the console and on a
    // connection; longer lines come in pieces.
    static constexpr std::size_t MAX_LINE = 256;
    static constexpr std::size_t MAX_REMOTE_LINE = 4096;

    // Reads the file descriptor `stream`, which it does not own.
    Input(int stream, bool remote, Output& out, bool echo);
    virtual ~Input() = default;

    // One line with its terminator, at most MAX_LINE bytes. At the end of
    // the input or on an error the input is dead and what was gathered is
    // returned.
    virtual std::string readln(bool hidden = false);
    virtual bool isAlive() const { return !_dead; }

private:
    std::string readConsole();
    std::string readRemote(bool hidden);
    // Reads more bytes into the buffer; false at the end or on an error.
    bool fill();

    int _stream;
    Output& _out;
    bool _remote;
    bool _dead = false;
    bool _echo;
    bool _ended = false;
    std::string _buffer;
    std::size_t _next = 0;
};

} // namespace zanfir
