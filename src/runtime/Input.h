#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "runtime/Pace.h"

namespace zanfir {

class Output;
class Terminal;

// A session's line input, read from its terminal.
class Input {
public:
    // The longest line one readln returns on the console and on a
    // connection; longer lines come in pieces.
    static constexpr std::size_t MAX_LINE = 256;
    static constexpr std::size_t MAX_REMOTE_LINE = 4096;

    // Reads lines of at most `cap` bytes from the terminal that `out`
    // writes to; with a `rate`, at most so many lines a second on average,
    // as Pace says (a client's input then waits; nothing is lost).
    Input(std::shared_ptr<Terminal> terminal, Output& out, std::size_t cap = MAX_LINE,
          double rate = 0);
    virtual ~Input() = default;

    // One line with its terminator. At the end of the input or on an error
    // the input is dead and what was gathered is returned.
    virtual std::string readln(bool hidden = false);
    virtual bool isAlive() const;
    // Ends the input from another thread: a read in progress returns.
    void endInput();
    // See Terminal::limitReads.
    void limitReads(std::chrono::milliseconds idle, std::chrono::steady_clock::time_point deadline);

private:
    std::shared_ptr<Terminal> _terminal;
    Output& _out;
    std::size_t _cap;
    std::optional<Pace> _pace;
};

} // namespace zanfir
