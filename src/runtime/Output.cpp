#include "runtime/Output.h"

#include "T.h"
#include "runtime/Errors.h"
#include "runtime/Settings.h"
#include "runtime/Terminal.h"
#include "util/Util.h"

namespace zanfir {

Output::Output(std::shared_ptr<Terminal> terminal, bool crlf, const Settings& settings)
    : _terminal(std::move(terminal)), _crlf(crlf), _prefmt(settings.preformatted),
      _row_length(settings.row_length), _command_output(settings.command_output) {}

void Output::beginCommand() {
    _command_left = _command_output;
}

void Output::write(const std::string& text) {
    if (_command_left) {
        if (text.size() > *_command_left) {
            _command_left = 0;
            throw CommandStoppedException(std::to_string(_command_output) + T::OutputLimit);
        }
        *_command_left -= text.size();
    }
    // Held until the next read: a turn's output is bounded by what the turn
    // prints, and a client that reads nothing never blocks a turn.
    _terminal->write(text);
}

void Output::flush() {
    _terminal->flush();
}

bool Output::raw() const {
    return _prefmt || _terminal->wraps();
}

int Output::row() const {
    int width = _terminal->width();
    return width > 0 ? width : _row_length;
}

std::string Output::laidOut(const std::string& text, int row, int column) const {
    return raw() ? Util::lineEnds(text, _crlf) : Util::wordWrap(text, _crlf, row, column);
}

std::string Output::layout() const {
    return (raw() ? std::string("raw") : std::to_string(row())) + (_crlf ? " crlf" : " lf");
}

std::string Output::line(const std::string& text) const {
    return laidOut(text + (_crlf ? "\r\n" : "\n"), row(), 0);
}

void Output::print(const std::string& text) {
    const int row = this->row();
    std::string out = laidOut(text, row, _pos);
    auto lastBreak = out.rfind('\n');
    long pos = lastBreak == std::string::npos
                   ? _pos + static_cast<long>(Util::length(out))
                   : static_cast<long>(Util::length(std::string_view(out).substr(lastBreak + 1)));
    _pos = static_cast<int>(pos % row);
    write(out);
}

void Output::println(const std::string& text) {
    print(text + (_crlf ? "\r\n" : "\n"));
}

} // namespace zanfir
