#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "common/ConsoleTerminal.h"

namespace zanfir {

struct Settings;

// A terminal on a connected socket, which it owns. The remote terminal does
// not echo, so this one does: it reads byte by byte, echoes what is typed
// (a star for each letter of hidden input), erases with backspace, a whole
// UTF-8 letter at a time, and ends a line at "\n". A NUL byte ends the
// connection.
//
// Sending never waits on a client for long: what the socket does not take
// at once stays queued and leaves while the session waits for input, or
// within the send timeout of a flush. A client that lets more than the
// queue's limit pile up is disconnected, and the log says so.
class SocketTerminal : public ConsoleTerminal {
public:
    // The echo, line ends, queue limit and send timeout of connections come
    // from the settings; `peer` names the client in the log.
    SocketTerminal(int socket, const Settings& settings, std::string peer = "");
    ~SocketTerminal() override;
    SocketTerminal(const SocketTerminal&) = delete;
    SocketTerminal& operator=(const SocketTerminal&) = delete;

    std::string readLine(bool hidden, std::size_t cap) override;
    bool isAlive() const override { return !_dead && !_closed; }
    void write(const std::string& bytes) override;
    void flush() override;
    // Shuts the socket down; the descriptor itself is closed with the
    // terminal, so that a read in progress never meets a reused number.
    void close() override;
    void endInput() override;
    void limitReads(std::chrono::milliseconds idle,
                    std::chrono::steady_clock::time_point deadline) override;

protected:
    bool fill() override;

private:
    // Sends what the socket takes now; false when the client is gone.
    bool sendSome();
    // Milliseconds a poll may wait for input before reads give up; -1:
    // for ever, 0: now.
    int waitLeft() const;

    const bool _echo;
    const bool _crlf;
    const std::size_t _queue_limit;
    const std::chrono::milliseconds _send_timeout;
    const std::string _peer;
    std::atomic<bool> _closed{false};
    std::chrono::milliseconds _idle{0};
    std::chrono::steady_clock::time_point _deadline = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point _last_input = std::chrono::steady_clock::now();
};

} // namespace zanfir
