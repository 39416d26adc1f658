#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace zanfir {

struct Settings;
class Terminal;

// A session's output, written to its terminal. Wraps text at the width of
// the player's window when the terminal knows it, else at the row length,
// unless the settings say it is preformatted; ends lines with LF or CR LF.
class Output {
public:
    Output(std::shared_ptr<Terminal> terminal, bool crlf, const Settings& settings);
    // Sends nothing: the terminal may be closed by then; the session flushes
    // before it ends.
    virtual ~Output() = default;

    // Writes the bytes as they are; they are sent at the next flush (before
    // every read, and when the session ends).
    virtual void write(const std::string& text);
    // Sends what was written; errors are ignored.
    virtual void flush();
    virtual void print(const std::string& text);
    virtual void println(const std::string& text);

    Terminal& terminal() const { return *_terminal; }
    const std::shared_ptr<Terminal>& sharedTerminal() const { return _terminal; }
    // From now on the text written may not pass the settings' limit for one
    // command: past it, writing throws CommandStoppedException. endCommand
    // lifts the limit.
    void beginCommand();
    void endCommand() { _command_left.reset(); }

    // What decides how text is laid out from the start of a row: two outputs
    // of the same layout write the same bytes for the same text.
    std::string layout() const;
    // The bytes println writes for `text` from the start of a row.
    std::string line(const std::string& text) const;

    int column() const { return _pos; }
    // The player's Enter ended the line on the terminal.
    void lineEnded() { _pos = 0; }

private:
    bool raw() const;
    int row() const;
    std::string laidOut(const std::string& text, int row, int column) const;

    std::shared_ptr<Terminal> _terminal;
    bool _crlf;
    bool _prefmt;
    int _row_length;
    std::size_t _command_output;
    std::optional<std::size_t> _command_left;
    int _pos = 0;
};

} // namespace zanfir
