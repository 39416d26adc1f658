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
    // The longest line a player may send, without its end.
    static constexpr std::size_t MAX_LINE = 4096;

    // Reads whole lines of at most `most` bytes from the terminal that `out`
    // writes to; with a `rate`, at most so many lines a second on average,
    // as Pace says (a client's input then waits; nothing is lost).
    Input(std::shared_ptr<Terminal> terminal, Output& out, std::size_t most = MAX_LINE,
          double rate = 0);
    virtual ~Input() = default;

    // One line with its terminator, as UTF-8 (a byte that begins no letter
    // becomes U+FFFD) without control characters. A longer line than the
    // input takes is read to its end and refused: "" comes back and
    // refused() tells. At the end of the input or on an error the input is
    // dead and what was gathered is returned.
    virtual std::string readln(bool hidden = false);
    // Whether the last line read was refused for its length.
    bool refused() const { return _refused; }
    std::size_t most() const { return _most; }
    virtual bool isAlive() const;
    // Ends the input from another thread: a read in progress returns.
    void endInput();
    // See Terminal::limitReads.
    void limitReads(std::chrono::milliseconds idle, std::chrono::steady_clock::time_point deadline);

private:
    std::shared_ptr<Terminal> _terminal;
    Output& _out;
    std::size_t _most;
    bool _refused = false;
    std::optional<Pace> _pace;
};

} // namespace zanfir
