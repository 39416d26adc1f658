#include "runtime/Input.h"

#include "runtime/Fibers.h"
#include "runtime/Output.h"
#include "runtime/Terminal.h"
#include "util/Util.h"

namespace zanfir {

Input::Input(std::shared_ptr<Terminal> terminal, Output& out, std::size_t cap, double rate)
    : _terminal(std::move(terminal)), _out(out), _cap(cap) {
    if (rate > 0)
        _pace.emplace(rate, Pace::Clock::now());
}

std::string Input::readln(bool hidden) {
    if (!isAlive())
        return "";
    std::string line = _terminal->readLine(hidden, _cap);
    // Nothing a player types may steer another's terminal, or the log's; the
    // line end stays as it came.
    std::size_t end = line.ends_with("\r\n") ? line.size() - 2
                      : line.ends_with('\n') ? line.size() - 1
                                             : line.size();
    line = Util::cleanText(std::string_view(line).substr(0, end)) + line.substr(end);
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
