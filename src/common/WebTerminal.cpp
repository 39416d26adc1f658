#include "common/WebTerminal.h"

#include <sys/socket.h>

#include <algorithm>
#include <thread>
#include <utility>

#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include "T.h"
#include "common/Log.h"
#include "common/Settings.h"

namespace zanfir {

namespace asio = boost::asio;
namespace beast = boost::beast;
using boost::system::error_code;

namespace {

std::string message(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const std::string END = message({{"type", "end"}});

} // namespace

WebTerminal::WebTerminal(std::unique_ptr<asio::io_context> io, std::unique_ptr<Socket> socket,
                         const Settings& settings, std::string peer)
    : _io(std::move(io)), _socket(std::move(socket)), _timer(*_io),
      _fd(beast::get_lowest_layer(*_socket).socket().native_handle()),
      _send_timeout(settings.remote_send_timeout), _peer(std::move(peer)) {
    _socket->read_message_max(MAX_MESSAGE);
    _socket->text(true);
}

WebTerminal::~WebTerminal() = default; // the socket closes with its stream

void WebTerminal::run() {
    _io->restart();
    _io->run();
}

bool WebTerminal::send(const std::string& json) {
    if (_dead || _closed)
        return false;
    error_code result;
    beast::get_lowest_layer(*_socket).expires_after(_send_timeout);
    _socket->async_write(asio::buffer(json),
                         [&](error_code error, std::size_t) { result = error; });
    run();
    beast::get_lowest_layer(*_socket).expires_never();
    if (!result)
        return true;
    if (result == beast::error::timeout)
        Log::writeG("Remote", Log::WARN, T::ClosedNotReading + _peer + T::ClosedNotReadingX);
    _dead = true;
    return false;
}

void WebTerminal::flush() {
    if (!_pending.empty())
        send(message({{"type", "text"}, {"text", std::exchange(_pending, "")}}));
}

void WebTerminal::limitReads(std::chrono::milliseconds idle,
                             std::chrono::steady_clock::time_point deadline) {
    _idle = idle;
    _deadline = deadline;
    _last_input = std::chrono::steady_clock::now();
}

std::string WebTerminal::readLine(bool hidden, std::size_t cap) {
    _owner = std::this_thread::get_id();
    flush();
    if (!send(message({{"type", "input"}, {"secret", hidden}})))
        return "";
    beast::flat_buffer buffer;
    bool done = false, late = false;
    error_code result;
    _socket->async_read(buffer, [&](error_code error, std::size_t) {
        result = error;
        done = true;
        _timer.cancel();
    });
    auto end = _deadline;
    if (_idle.count() > 0)
        end = std::min(end, _last_input + _idle);
    if (end != std::chrono::steady_clock::time_point::max()) {
        _timer.expires_at(end);
        _timer.async_wait([&](error_code error) {
            if (error || done)
                return;
            // Nothing came in time: a last word, and the end.
            late = true;
            Log::writeG("Remote", Log::INFO, T::ClosedSilent + _peer + T::QuoteEnd);
            farewell(message({{"type", "text"}, {"text", T::TimedOut}}));
        });
    }
    run();
    if (late || result) {
        _dead = true;
        return "";
    }
    _last_input = std::chrono::steady_clock::now();
    std::string line = beast::buffers_to_string(buffer.data()).substr(0, cap);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line + "\n";
}

void WebTerminal::farewell(const std::string& json) {
    _farewell = json;
    _ended = true;
    beast::get_lowest_layer(*_socket).expires_after(_send_timeout); // the read waiting too
    _socket->async_write(asio::buffer(_farewell), [this](error_code error, std::size_t) {
        if (error)
            return;
        _socket->async_write(asio::buffer(END), [this](error_code error, std::size_t) {
            if (!error)
                _socket->async_close(beast::websocket::close_code::normal, [](error_code) {});
        });
    });
}

void WebTerminal::goodbye() {
    if (_dead || _closed || _ended)
        return;
    flush();
    if (send(END)) {
        _ended = true;
        beast::get_lowest_layer(*_socket).expires_after(_send_timeout);
        _socket->async_close(beast::websocket::close_code::normal, [](error_code) {});
        run();
    }
}

void WebTerminal::close() {
    // Only the session's thread uses the socket; another shuts it down.
    if (std::this_thread::get_id() == _owner.load())
        goodbye();
    if (!_closed.exchange(true))
        ::shutdown(_fd, SHUT_RDWR);
}

void WebTerminal::endInput() {
    if (!_closed)
        ::shutdown(_fd, SHUT_RD);
}

} // namespace zanfir
