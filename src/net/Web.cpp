#include "net/Web.h"

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "T.h"
#include "engine/Gatekeeper.h"
#include "engine/Main.h"
#include "net/FiberSocket.h"
#include "net/Remote.h"
#include "net/WebTerminal.h"
#include "runtime/Fibers.h"
#include "runtime/Log.h"
#include "util/Util.h"

namespace zanfir {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using boost::system::error_code;

namespace {

constexpr const char* ENTITY = "Remote";
constexpr std::size_t MAX_HEADER = 8192;
// A resume token is 64 hex digits; more is never read.
constexpr std::size_t MAX_TOKEN = 128;

// The items of a list separated by commas, trimmed.
std::vector<std::string> listed(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (std::size_t comma; start <= list.size(); start = comma + 1) {
        comma = std::min(list.find(',', start), list.size());
        if (auto item = Util::trim(list.substr(start, comma - start)); !item.empty())
            items.push_back(item);
    }
    return items;
}

} // namespace

WebListener::WebListener(Remote& remote, Main& main, const Settings& settings)
    : _remote(remote), _main(main), _settings(settings) {}

WebListener::~WebListener() {
    if (int socket = _socket; socket >= 0)
        ::close(socket);
}

void WebListener::start() {
    _socket = Remote::openPort(_settings.remote_address, _settings.web_port);
    std::thread([this] { run(); }).detach();
}

void WebListener::stopAccepting() {
    if (int socket = _socket; socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
}

void WebListener::run() {
    for (int connection; _socket >= 0 && (connection = Remote::acceptOne(_socket)) >= 0;) {
        std::string address;
        try {
            address = Remote::peerAddress(connection);
        } catch (const std::exception& error) {
            Log::writeG(ENTITY, Log::WARN, error);
            ::close(connection);
            continue;
        }
        // Every connection counts, a request for the page too, while it is
        // served.
        if (auto refusal = _main.gatekeeper().connect(address)) {
            Log::writeG(ENTITY, Log::WARN, T::Refused + address + refusal->log);
            std::string reply = std::string("HTTP/1.1 503 Service Unavailable\r\n"
                                            "Content-Type: text/plain; charset=utf-8\r\n"
                                            "Connection: close\r\n\r\n") +
                                refusal->tell + "\n";
            ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(connection);
            continue;
        }
        try {
            _remote.fibers().spawn([this, connection, address] { handle(connection, address); });
        } catch (const std::exception& error) { // no stack to be had
            Log::writeG(ENTITY, Log::WARN, error);
            ::close(connection);
            _main.gatekeeper().disconnect(address);
        }
    }
}

bool WebListener::originAllowed(const std::string& origin, const std::string& host,
                                const std::string& allowed) {
    if (origin.empty()) // no browser: nobody's page is being abused
        return true;
    auto scheme = origin.find("://");
    std::string from = scheme == std::string::npos ? origin : origin.substr(scheme + 3);
    if (Util::equalsIgnoreCase(from, host))
        return true;
    for (const auto& other : listed(allowed))
        if (Util::equalsIgnoreCase(other, from))
            return true;
    return false;
}

void WebListener::handle(int socket, std::string address) {
    Gatekeeper& gate = _main.gatekeeper();
    std::string counted = address; // as the gatekeeper knows this connection
    try {
        // Each message leaves at once (two small ones make one answer), and
        // a dead link is found as on the telnet port.
        int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Remote::keepAlive(socket);
        auto stream = std::make_unique<FiberSocket>(std::exchange(socket, -1));
        beast::flat_buffer buffer;
        http::request_parser<http::empty_body> parser;
        parser.header_limit(MAX_HEADER);
        error_code result;
        stream->expiresAfter(REQUEST_TIMEOUT);
        http::read(*stream, buffer, parser, result);
        if (result) {
            gate.disconnect(counted);
            return;
        }
        const auto& request = parser.get();
        std::string target(request.target()), resume;
        // "/ws?resume=<token>": a reloaded page takes its player up again.
        if (const std::string mark = "/ws?resume="; target.starts_with(mark)) {
            resume = target.substr(mark.size(), MAX_TOKEN);
            target = "/ws";
        }
        if (target == "/ws" && websocket::is_upgrade(request)) {
            std::string origin(request[http::field::origin]), host(request[http::field::host]);
            if (!originAllowed(origin, host, _settings.web_origins)) {
                Log::writeG(ENTITY, Log::WARN,
                            T::RefusedOrigin + Util::clip(origin, Log::CLIENT_TEXT) +
                                T::RefusedOriginX + address);
                http::response<http::string_body> refused{http::status::forbidden,
                                                          request.version()};
                refused.keep_alive(false);
                refused.prepare_payload();
                http::write(*stream, refused, result);
                gate.disconnect(counted);
                return;
            }
            // Behind a proxy it trusts, the client is the one it forwards.
            std::string forwarded(request["X-Forwarded-For"]);
            auto proxies = listed(_settings.web_proxies);
            std::optional<Gatekeeper::Refusal> refusal;
            if (!forwarded.empty() &&
                std::find(proxies.begin(), proxies.end(), address) != proxies.end()) {
                gate.disconnect(counted);
                address = counted = Util::trim(forwarded.substr(forwarded.rfind(',') + 1));
                refusal = gate.connect(address);
            }
            auto ws = std::make_unique<WebTerminal::Socket>(std::move(*stream));
            stream.reset();
            ws->set_option(websocket::stream_base::decorator(
                [](websocket::response_type& reply) { reply.set(http::field::server, "Zanfir"); }));
            ws->next_layer().expiresAfter(REQUEST_TIMEOUT);
            ws->accept(request, result);
            ws->next_layer().expiresNever();
            if (result) {
                if (!refusal)
                    gate.disconnect(counted);
                return;
            }
            auto terminal = std::make_shared<WebTerminal>(std::move(ws), _settings, address);
            terminal->presentResumeToken(resume);
            if (refusal) {
                Log::writeG(ENTITY, Log::WARN, T::Refused + address + refusal->log);
                terminal->write(refusal->tell + std::string("\n"));
                terminal->goodbye();
                return;
            }
            _remote.serve(terminal, address, false);
            return;
        }
        bool found =
            request.method() == http::verb::get && (target == "/" || target == "/index.html");
        http::response<http::string_body> reply{found ? http::status::ok : http::status::not_found,
                                                request.version()};
        reply.set(http::field::server, "Zanfir");
        reply.set(http::field::content_type,
                  found ? "text/html; charset=utf-8" : "text/plain; charset=utf-8");
        reply.set(http::field::cache_control, "no-cache");
        reply.set("Content-Security-Policy",
                  "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                  "connect-src 'self'; img-src 'self' data:");
        reply.set("X-Content-Type-Options", "nosniff");
        reply.body() = found ? page(_settings.title, _settings.max_line_bytes) : "404\n";
        reply.keep_alive(false);
        reply.prepare_payload();
        stream->expiresAfter(REQUEST_TIMEOUT);
        http::write(*stream, reply, result);
        gate.disconnect(counted);
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        if (socket >= 0)
            ::close(socket);
        gate.disconnect(counted);
    }
}

} // namespace zanfir
