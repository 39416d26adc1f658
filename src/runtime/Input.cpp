#include "runtime/Input.h"

#include "runtime/Fibers.h"
#include "runtime/Output.h"
#include "runtime/Terminal.h"
#include "util/Util.h"

namespace zanfir {

namespace {

// Where the line's end ("\n" or "\r\n") begins; its size without one.
std::size_t contentEnd(const std::string& line) {
    return line.ends_with("\r\n") ? line.size() - 2
           : line.ends_with('\n') ? line.size() - 1
                                  : line.size();
}

} // namespace

Input::Input(std::shared_ptr<Terminal> terminal, Output& out, std::size_t most, double rate)
    : _terminal(std::move(terminal)), _out(out), _most(most) {
    if (rate > 0)
        _pace.emplace(rate, Pace::Clock::now());
}

std::string Input::readln(bool hidden) {
    _refused = false;
    if (!isAlive())
        return "";
    const std::size_t cap = _most + 2; // a line as long as may be, with "\r\n"
    std::string line = _terminal->readLine(hidden, cap);
    std::size_t end = contentEnd(line);
    if (end > _most) {
        // None of it runs: the rest of the line goes too.
        bool ended = line.ends_with('\n');
        while (!ended && isAlive())
            ended = _terminal->readLine(hidden, cap).ends_with('\n');
        _refused = isAlive();
        if (ended)
            _out.lineEnded();
        return "";
    }
    // Nothing a player types may steer another's terminal, or the log's; the
    // line end stays as it came.
    line =
        Util::cleanText(Util::repairUtf8(std::string_view(line).substr(0, end))) + line.substr(end);
    if (_pace && !line.empty()) {
        auto wait = _pace->take(Pace::Clock::now());
        if (wait > Pace::Clock::duration::zero())
            Fibers::sleepFor(wait);
    }
    // The player's Enter put the cursor back at column 0.
    if (!line.empty() && line.back() == '\n')
        _out.lineEnded();
    return line;
}

void Input::endInput() {
    _terminal->endInput();
}

void Input::limitReads(std::chrono::milliseconds idle,
                       std::chrono::steady_clock::time_point deadline) {
    _terminal->limitReads(idle, deadline);
}

bool Input::isAlive() const {
    return _terminal->isAlive();
}

} // namespace zanfir
