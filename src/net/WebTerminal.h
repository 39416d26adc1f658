#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <boost/beast/websocket/stream.hpp>

#include "net/FiberSocket.h"
#include "runtime/Fibers.h"
#include "runtime/Terminal.h"
#include "runtime/Waker.h"

namespace zanfir {

struct Settings;

// A terminal on a WebSocket it owns, the handshake done. Each text message
// from the client is one line. The server's messages are JSON objects:
// {"type":"text","text":...} for what was written, {"type":"input",
// "secret":...} each time a line is awaited (secret for a password), and
// {"type":"status","place":...,"online":N} when where the player is (or how
// many play a shared world; 0 otherwise) changed, before the question;
// {"type":"resume","token":...} with a token that takes the player up again
// from a reloaded page; and {"type":"end"} before the session closes it. The browser wraps the text
// and shows what its player types, so nothing is wrapped or echoed here.
//
// Reads and writes run in the session's fiber; close and endInput may come
// from anywhere else and only shut the socket down. A client that does not
// take what is sent within the send timeout is disconnected.
class WebTerminal : public Terminal {
public:
    using Socket = boost::beast::websocket::stream<FiberSocket>;

    // A message longer than this ends the connection; one longer than the
    // line asked for is read, its start kept, and refused by the Input.
    static constexpr std::size_t MAX_MESSAGE = 1024 * 1024;

    // `peer` names the client in the log.
    WebTerminal(std::unique_ptr<Socket> socket, const Settings& settings, std::string peer);
    ~WebTerminal() override;
    WebTerminal(const WebTerminal&) = delete;
    WebTerminal& operator=(const WebTerminal&) = delete;

    std::string readLine(bool hidden, std::size_t cap) override;
    bool isAlive() const override { return !_dead && !_closed; }
    void write(const std::string& bytes) override { _pending += bytes; }
    void flush() override;
    // A last {"type":"end"} and the closing handshake, when the session
    // itself closes; from another thread the socket is shut down.
    void close() override;
    void endInput() override;
    void limitReads(std::chrono::milliseconds idle,
                    std::chrono::steady_clock::time_point deadline) override;
    bool wraps() const override { return true; }
    bool takesLiveText() const override { return true; }
    void wake() override { _waker.wake(); }
    // Sent with the next question when it changed.
    bool showsStatus() const override { return true; }
    void status(const std::string& place, std::size_t online) override;
    // The token of the URL the page connected with (/ws?resume=...).
    void presentResumeToken(std::string token) { _resume_given = std::move(token); }
    std::string resumeTokenGiven() const override { return _resume_given; }
    bool keepsResumeTokens() const override { return true; }
    // Sent with the next question.
    void giveResumeToken(const std::string& token) override;
    // Sends what is written, {"type":"end"} and the closing handshake, from
    // the fiber that uses the socket.
    void goodbye();

private:
    // Sends one message; false (and the terminal dead) when it cannot.
    bool send(const std::string& json);
    // Whether a write went well; if not, the terminal is dead.
    bool delivered(const boost::system::error_code& result);
    // Says goodbye with the message and closes, within the send timeout,
    // after a read that waited too long (which leaves the WebSocket unusable).
    void farewell(const std::string& json);

    std::unique_ptr<Socket> _socket;
    const int _fd;
    const std::chrono::milliseconds _send_timeout;
    const std::string _peer;
    std::string _pending;            // text written, not yet sent
    std::string _status;             // the last status message
    std::vector<std::string> _notes; // messages to send before the next question
    std::string _resume_given;
    bool _dead = false;
    bool _ended = false; // the end was said
    std::atomic<bool> _closed{false};
    Waker _waker;
    std::atomic<Fibers::Fiber*> _owner{nullptr}; // the session's fiber, once it reads
    std::chrono::milliseconds _idle{0};
    std::chrono::steady_clock::time_point _deadline = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point _last_input = std::chrono::steady_clock::now();
};

} // namespace zanfir
