#pragma once

#include <memory>
#include <string>

namespace zanfir {

struct Settings;
class Terminal;

// A session's output, written to its terminal. Wraps text at the row length
// unless the settings say it is preformatted, and ends lines with LF or
// CR LF.
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
    int column() const { return _pos; }
    // The player's Enter ended the line on the terminal.
    void lineEnded() { _pos = 0; }

private:
    std::shared_ptr<Terminal> _terminal;
    bool _crlf;
    bool _prefmt;
    int _row_length;
    int _pos = 0;
};

} // namespace zanfir
