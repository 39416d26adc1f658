#include "common/Input.h"

#include "common/Output.h"
#include "common/Terminal.h"

namespace zanfir {

Input::Input(std::shared_ptr<Terminal> terminal, Output& out, std::size_t cap)
    : _terminal(std::move(terminal)), _out(out), _cap(cap) {}

std::string Input::readln(bool hidden) {
    if (!isAlive())
        return "";
    std::string line = _terminal->readLine(hidden, _cap);
    // The player's Enter put the cursor back at column 0.
    if (!line.empty() && line.back() == '\n')
        _out.lineEnded();
    return line;
}

bool Input::isAlive() const {
    return _terminal->isAlive();
}

} // namespace zanfir
