#pragma once

#include <sys/types.h>

#include <string>

#include "runtime/Terminal.h"

namespace zanfir {

// A terminal on two file descriptors it does not own (standard input and
// output, or pipes). Lines come as the terminal driver delivers them,
// already echoed by it: a read returns up to the first "\n" and keeps what
// follows for the next one. With `fitWidth`, an output that is a terminal
// tells its window's width, asked at every call, so a resize is followed.
class ConsoleTerminal : public Terminal {
public:
    ConsoleTerminal(int in, int out, bool fitWidth = false)
        : _in(in), _out(out), _fit_width(fitWidth) {}

    std::string readLine(bool hidden, std::size_t cap) override;
    bool isAlive() const override { return !_dead; }
    int width() const override;
    void write(const std::string& bytes) override { _pending += bytes; }
    void flush() override;
    void close() override {}

protected:
    // Waits for more input and appends it to the buffer, sending what was
    // written first; false at the end of the input or on an error.
    virtual bool fill();
    // Appends what one read gives; false at the end or on an error.
    bool receive();

    int _in;
    int _out;
    bool _fit_width;
    bool _dead = false;
    bool _ended = false;
    std::string _buffer;
    std::size_t _next = 0; // the first byte of the buffer not yet read
    std::string _pending;  // written, not yet sent
};

} // namespace zanfir
