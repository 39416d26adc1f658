#pragma once

#include <sys/types.h>

#include <string>

#include "common/Terminal.h"

namespace zanfir {

// A terminal on two file descriptors it does not own (standard input and
// output, or pipes). Lines come as the terminal driver delivers them,
// already echoed by it: a read returns up to the first "\n" and keeps what
// follows for the next one.
class ConsoleTerminal : public Terminal {
public:
    ConsoleTerminal(int in, int out) : _in(in), _out(out) {}

    std::string readLine(bool hidden, std::size_t cap) override;
    bool isAlive() const override { return !_dead; }
    void write(const std::string& bytes) override { _pending += bytes; }
    void flush() override;
    void close() override {}

protected:
    // Flushes, then reads more bytes into the buffer; false at the end of
    // the input or on an error.
    bool fill();
    // Writes some of the bytes; the count, or -1 with errno set.
    virtual ssize_t send(const char* bytes, std::size_t size);

    int _in;
    int _out;
    bool _dead = false;
    std::string _buffer;
    std::size_t _next = 0; // the first byte of the buffer not yet read
    bool _ended = false;

private:
    std::string _pending;
};

} // namespace zanfir
