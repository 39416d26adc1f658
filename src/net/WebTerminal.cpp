#include "net/WebTerminal.h"

#include <sys/socket.h>

#include <algorithm>
#include <utility>

#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include "T.h"
#include "runtime/Log.h"
#include "runtime/Settings.h"

namespace zanfir {

namespace asio = boost::asio;
namespace beast = boost::beast;
using boost::system::error_code;

namespace {

std::string message(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const std::string END = message({{"type", "end"}});
const std::string ASK[] = {message({{"type", "input"}, {"secret", false}}),
                           message({{"type", "input"}, {"secret", true}})};

// {"type":"text","text":...}, written as the object would be (its keys in
// order) without making one.
std::string textMessage(const std::string& text) {
    return "{\"text\":" + message(text) + ",\"type\":\"text\"}";
}

// A frame as the WebSocket sends it: final, unmasked.
std::string frame(unsigned char opcode, const std::string& payload) {
    std::string bytes(1, static_cast<char>(0x80 | opcode));
    std::size_t size = payload.size();
    if (size < 126) {
        bytes += static_cast<char>(size);
    } else if (size < 65536) {
        bytes += static_cast<char>(126);
        for (int shift = 8; shift >= 0; shift -= 8)
            bytes += static_cast<char>(size >> shift & 0xFF);
    } else {
        bytes += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes += static_cast<char>(size >> shift & 0xFF);
    }
    return bytes + payload;
}

} // namespace

WebTerminal::WebTerminal(std::unique_ptr<Socket> socket, const Settings& settings, std::string peer)
    : _socket(std::move(socket)), _fd(_socket->next_layer().native_handle()),
      _send_timeout(settings.remote_send_timeout), _peer(std::move(peer)) {
    _socket->read_message_max(MAX_MESSAGE);
    _socket->text(true);
    // Sent in a frame of its own while the stream reads: only reads wait
    // for the client, so no message of the stream's is half written.
    _socket->next_layer().wakeWith(&_waker, [this] {
        live();
        if (_pending.empty())
            return;
        auto& socket = _socket->next_layer();
        auto reading = socket.deadline();
        socket.expiresAfter(_send_timeout);
        std::string bytes = frame(0x1, textMessage(std::exchange(_pending, "")));
        error_code ignored;
        socket.writeAll(bytes.data(), bytes.size(), ignored);
        socket.expiresAt(reading);
    });
}

WebTerminal::~WebTerminal() = default; // the socket closes with its stream

bool WebTerminal::send(const std::string& json) {
    if (_dead || _closed)
        return false;
    error_code result;
    _socket->next_layer().expiresAfter(_send_timeout);
    _socket->write(asio::buffer(json), result);
    _socket->next_layer().expiresNever();
    return delivered(result);
}

bool WebTerminal::delivered(const boost::system::error_code& result) {
    if (!result)
        return true;
    if (result == beast::error::timeout)
        Log::writeG("Remote", Log::WARN, T::ClosedNotReading + _peer + T::ClosedNotReadingX);
    _dead = true;
    return false;
}

void WebTerminal::flush() {
    if (!_pending.empty())
        send(textMessage(std::exchange(_pending, "")));
}

void WebTerminal::status(const std::string& place, std::size_t online) {
    std::string now = message({{"type", "status"}, {"place", place}, {"online", online}});
    if (now != _status) {
        _status = now;
        _notes.push_back(std::move(now));
    }
}

void WebTerminal::giveResumeToken(const std::string& token) {
    _notes.push_back(message({{"type", "resume"}, {"token", token}}));
}

void WebTerminal::limitReads(std::chrono::milliseconds idle,
                             std::chrono::steady_clock::time_point deadline) {
    _idle = idle;
    _deadline = deadline;
    _last_input = std::chrono::steady_clock::now();
}

std::string WebTerminal::readLine(bool hidden, std::size_t cap) {
    _owner = Fibers::current();
    auto& socket = _socket->next_layer();
    socket.hold(); // the text and the question leave together
    flush();
    for (const auto& note : std::exchange(_notes, {}))
        send(note);
    bool asked = send(ASK[hidden]);
    error_code result;
    socket.expiresAfter(_send_timeout);
    socket.release(result);
    if (!asked || !delivered(result))
        return "";
    auto end = _deadline;
    if (_idle.count() > 0)
        end = std::min(end, _last_input + _idle);
    // A message longer than a line may be is read to its end and kept only
    // so far as to be refused.
    std::string line;
    beast::flat_buffer buffer;
    socket.expiresAt(end);
    socket.awaitReply();
    do {
        _socket->read_some(buffer, 0, result);
        if (line.size() < cap)
            line += beast::buffers_to_string(buffer.data()).substr(0, cap - line.size());
        buffer.clear();
    } while (!result && !_socket->is_message_done());
    socket.expiresNever();
    if (result == beast::error::timeout && !_closed) {
        // Nothing came in time: a last word, and the end.
        Log::writeG("Remote", Log::INFO, T::ClosedSilent + _peer + T::QuoteEnd);
        farewell(textMessage(T::TimedOut));
    }
    if (result) {
        _dead = true;
        return "";
    }
    _last_input = std::chrono::steady_clock::now();
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line + "\n";
}

void WebTerminal::farewell(const std::string& json) {
    _ended = true;
    static const std::string NORMAL_CLOSURE("\x03\xE8", 2);
    std::string bytes = frame(0x1, json) + frame(0x1, END) + frame(0x8, NORMAL_CLOSURE);
    auto& socket = _socket->next_layer();
    socket.expiresAfter(_send_timeout);
    error_code ignored;
    if (socket.writeAll(bytes.data(), bytes.size(), ignored))
        teardown(beast::role_type::server, socket, ignored);
}

void WebTerminal::goodbye() {
    if (_dead || _closed || _ended)
        return;
    flush();
    if (send(END)) {
        _ended = true;
        _socket->next_layer().expiresAfter(_send_timeout);
        error_code ignored;
        _socket->close(beast::websocket::close_code::normal, ignored);
    }
}

void WebTerminal::close() {
    // Only the session's fiber uses the socket; anyone else shuts it down.
    if (Fibers::Fiber* owner = _owner; owner && owner == Fibers::current())
        goodbye();
    if (!_closed.exchange(true))
        ::shutdown(_fd, SHUT_RDWR);
}

void WebTerminal::endInput() {
    if (!_closed)
        ::shutdown(_fd, SHUT_RD);
}

} // namespace zanfir
