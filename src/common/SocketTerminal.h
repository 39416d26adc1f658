#pragma once

#include <atomic>

#include "common/ConsoleTerminal.h"

namespace zanfir {

// A terminal on a connected socket, which it owns. The remote terminal does
// not echo, so this one does: it reads byte by byte, echoes what is typed
// (a star for each letter of hidden input), erases with backspace, a whole
// UTF-8 letter at a time, and ends a line at "\n". A NUL byte ends the
// connection.
class SocketTerminal : public ConsoleTerminal {
public:
    // `crlf`: the echo of a line end is CR LF, else LF.
    SocketTerminal(int socket, bool echo, bool crlf);
    ~SocketTerminal() override;
    SocketTerminal(const SocketTerminal&) = delete;
    SocketTerminal& operator=(const SocketTerminal&) = delete;

    std::string readLine(bool hidden, std::size_t cap) override;
    // Shuts the socket down; the descriptor itself is closed with the
    // terminal, so that a read in progress never meets a reused number.
    void close() override;

protected:
    ssize_t send(const char* bytes, std::size_t size) override;

private:
    const bool _echo;
    const bool _crlf;
    std::atomic<bool> _closed{false};
};

} // namespace zanfir
