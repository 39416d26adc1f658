#pragma once

#include <string>

namespace zanfir {

// A session's output: the console or a connection. Wraps text at the row
// length unless "Preformatted" is set, and ends lines with LF or CR LF.
class Output {
public:
    // Writes to the file descriptor `stream`, which it does not own.
    Output(int stream, bool crlf);
    // Sends nothing: the stream may be closed by then; the session flushes
    // before it ends.
    virtual ~Output() = default;

    // Writes the bytes as they are; errors are ignored. The bytes are
    // sent at the next flush (before every read, and when many gather).
    virtual void write(const std::string& text);
    // Sends what was written.
    virtual void flush();
    virtual void print(const std::string& text);
    virtual void println(const std::string& text);

    int column() const { return _pos; }
    // The player's Enter ended the line on the terminal.
    void lineEnded() { _pos = 0; }

private:
    int _stream;
    bool _crlf;
    bool _prefmt;
    int _pos = 0;
    std::string _pending;
};

} // namespace zanfir
