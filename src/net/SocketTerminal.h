#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "net/Telnet.h"
#include "runtime/ConsoleTerminal.h"
#include "runtime/Waker.h"

namespace zanfir {

struct Settings;

// A terminal on a connected socket, which it owns. It speaks telnet (see
// Telnet) to a client that does: such a client edits and echoes its lines
// itself, and is asked to stop echoing while a password is typed. A raw
// client (nc) does not echo, so this terminal does: it echoes what is typed,
// a star for each letter of hidden input. Both erase with backspace or DEL,
// a whole UTF-8 letter at a time, and end a line at "\n" or at CR NUL; any
// other NUL byte is dropped.
//
// Sending never waits on a client for long: what the socket does not take
// at once stays queued and leaves while the session waits for input, or
// within the send timeout of a flush. A client that lets more than the
// queue's limit pile up is disconnected, and the log says so.
class SocketTerminal : public ConsoleTerminal {
public:
    // The echo, line ends, queue limit and send timeout of connections come
    // from the settings; `peer` names the client in the log; `status` is
    // what a client asking for the server's status (MSSP) is told.
    SocketTerminal(int socket, const Settings& settings, std::string peer = "",
                   Telnet::Status status = {});
    ~SocketTerminal() override;
    SocketTerminal(const SocketTerminal&) = delete;
    SocketTerminal& operator=(const SocketTerminal&) = delete;

    // Opens the telnet negotiation; the bytes leave with the first output.
    void negotiate();
    std::string readLine(bool hidden, std::size_t cap) override;
    int width() const override { return _telnet.width(); }
    bool isAlive() const override { return !_dead && !_closed; }
    void write(const std::string& bytes) override;
    void flush() override;
    // Shuts the socket down; the descriptor itself is closed with the
    // terminal, so that a read in progress never meets a reused number.
    void close() override;
    void endInput() override;
    // A client that negotiated edits its line itself: text may come first.
    bool takesLiveText() const override { return _telnet.spoken(); }
    void wake() override { _waker.wake(); }
    void limitReads(std::chrono::milliseconds idle,
                    std::chrono::steady_clock::time_point deadline) override;

protected:
    bool fill() override;

private:
    static constexpr std::size_t KEPT_BYTES = 4096;

    // Reads what came; the telnet commands in it are taken out and
    // answered. False at the end of the input or on an error.
    bool take();
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
    Telnet _telnet;
    Waker _waker;
    std::atomic<bool> _closed{false};
    std::chrono::milliseconds _idle{0};
    std::chrono::steady_clock::time_point _deadline = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point _last_input = std::chrono::steady_clock::now();
};

} // namespace zanfir
