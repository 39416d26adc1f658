#include "net/Remote.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <iostream>
#include <system_error>
#include <thread>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "net/ProxyHeader.h"
#include "net/SocketTerminal.h"
#include "net/Web.h"
#include "runtime/Errors.h"
#include "runtime/Fibers.h"
#include "runtime/Input.h"
#include "runtime/Log.h"
#include "runtime/Output.h"
#include "util/Util.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Remote";

} // namespace

std::string Remote::peerAddress(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        throw std::system_error(errno, std::generic_category(), "getpeername");
    char text[INET6_ADDRSTRLEN] = "";
    if (peer.ss_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&peer)->sin_addr, text, sizeof text);
        return text;
    }
    const in6_addr& address = reinterpret_cast<sockaddr_in6*>(&peer)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&address)) // an IPv4 client: dotted decimal
        ::inet_ntop(AF_INET, &address.s6_addr[12], text, sizeof text);
    else
        ::inet_ntop(AF_INET6, &address, text, sizeof text);
    return text;
}

// A link that died without a word (a cable pulled, a laptop closed) is
// found within about two minutes.
void Remote::keepAlive(int socket) {
    int on = 1, idle = 60, interval = 10, probes = 6;
    ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

Remote::RemoteConnection::RemoteConnection(std::shared_ptr<Terminal> terminal,
                                           std::shared_ptr<Adventure> adventure, std::int32_t id,
                                           std::string address)
    : _id(id), _address(std::move(address)), _terminal(std::move(terminal)),
      _adventure(std::move(adventure)) {}

void Remote::RemoteConnection::close() {
    _terminal->close();
}

void Remote::RemoteConnection::endInput() {
    _terminal->endInput();
}

Remote::Remote(Main& main, Settings settings) : _main(main), _settings(std::move(settings)) {
    for (const auto& proxy : Util::split(_settings.telnet_proxies, ','))
        if (auto trimmed = Util::trim(proxy); !trimmed.empty())
            _proxies.push_back(trimmed);
}

void Remote::start() {
    listen();
    _fibers = std::make_unique<Fibers>(_main.sessionThreads());
    if (_settings.web_port > 0) {
        _web = std::make_unique<WebListener>(*this, _main, _settings);
        _web->start();
    }
    std::thread([this] { run(); }).detach();
}

namespace {

[[noreturn]] void failed(const char* call) {
    throw std::system_error(errno, std::generic_category(), call);
}

int boundSocket(int family, const sockaddr* address, socklen_t length) {
    int socket = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        failed("socket");
    int on = 1, off = 0;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (family == AF_INET6 &&
        IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr))
        // IPv4 clients too
        ::setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(socket, address, length) != 0 || ::listen(socket, SOMAXCONN) != 0) {
        int error = errno;
        ::close(socket);
        errno = error;
        failed("listen");
    }
    return socket;
}

// Every address, IPv6 and IPv4 alike, or only IPv4 where there is no IPv6.
int listenEverywhere(int port) {
    sockaddr_in6 six{};
    six.sin6_family = AF_INET6;
    six.sin6_addr = in6addr_any;
    six.sin6_port = htons(static_cast<std::uint16_t>(port));
    try {
        return boundSocket(AF_INET6, reinterpret_cast<sockaddr*>(&six), sizeof six);
    } catch (const std::system_error& error) {
        if (error.code().value() != EAFNOSUPPORT)
            throw;
    }
    sockaddr_in four{};
    four.sin_family = AF_INET;
    four.sin_addr.s_addr = htonl(INADDR_ANY);
    four.sin_port = htons(static_cast<std::uint16_t>(port));
    return boundSocket(AF_INET, reinterpret_cast<sockaddr*>(&four), sizeof four);
}

int listenAt(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
        throw std::runtime_error(::gai_strerror(error));
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    for (addrinfo* address = found;; address = address->ai_next) {
        try {
            return boundSocket(address->ai_family, address->ai_addr, address->ai_addrlen);
        } catch (const std::system_error&) {
            if (!address->ai_next)
                throw;
        }
    }
}

} // namespace

int Remote::openPort(const std::string& host, int port) {
    Log::writeG(ENTITY, Log::INFO, T::BeginListenOnPort + std::to_string(port));
    try {
        if (port < 0 || port > 65535)
            throw std::system_error(EINVAL, std::generic_category(), "port");
        int socket = host.empty() ? listenEverywhere(port) : listenAt(host, port);
        std::cout << T::Listening << port
                  << (host.empty() ? T::ListeningEverywhere : T::ListeningAt) << host << std::endl;
        return socket;
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::FAIL, error);
        auto system = dynamic_cast<const std::system_error*>(&error);
        throw RemoteConnectionException(T::ErrorListeningConnections +
                                        (" " + std::to_string(port)) +
                                        (host.empty() ? "" : T::ListeningAt + host) + ": " +
                                        (system ? system->code().message() : error.what()));
    }
}

void Remote::listen() {
    _port = Util::parseInt(_settings.remote_port);
    _socket = openPort(_settings.remote_address, _port);
    _started = std::time(nullptr);
}

std::vector<std::pair<std::string, std::string>> Remote::status() const {
    return {{"NAME", _settings.title},
            {"PLAYERS", std::to_string(_main.players().online())},
            {"UPTIME", std::to_string(_started)},
            {"PORT", std::to_string(_port)},
            {"CODEBASE", "Zanfir"},
            {"LANGUAGE", "Italian"},
            {"CHARSET", "UTF-8"},
            {"FAMILY", "Custom"},
            {"GENRE", "None"},
            {"GAMEPLAY", "Adventure"},
            {"GAMESYSTEM", "None"},
            {"STATUS", "Live"},
            {"CRAWL DELAY", "-1"},
            {"MINIMUM AGE", "0"},
            {"ANSI", "0"},
            {"GMCP", "0"},
            {"MCCP", "0"},
            {"MSDP", "0"},
            {"MSP", "0"},
            {"MXP", "0"},
            {"PUEBLO", "0"},
            {"UTF-8", "1"},
            {"VT100", "0"},
            {"XTERM 256 COLORS", "0"},
            {"PAY TO PLAY", "0"},
            {"PAY FOR PERKS", "0"},
            {"HIRING BUILDERS", "0"},
            {"HIRING CODERS", "0"}};
}

Remote::~Remote() {
    close();
    if (_socket >= 0)
        ::close(_socket);
}

int Remote::acceptOne(int listening) {
    for (;;) {
        int connection = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0)
            return connection;
        // A client that left before it was accepted, or no file descriptor
        // to spare for a moment: go on listening.
        if (errno != EINTR && errno != ECONNABORTED && errno != EMFILE && errno != ENFILE &&
            errno != ENOBUFS && errno != ENOMEM && errno != EPROTO)
            return -1;
        if (errno != EINTR && errno != ECONNABORTED)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Remote::run() {
    for (int connection; _socket >= 0 && (connection = acceptOne(_socket)) >= 0;)
        accepted(connection);
}

void Remote::accepted(int socket) {
    std::string address;
    try {
        address = peerAddress(socket);
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        ::close(socket);
        return;
    }
    if (std::find(_proxies.begin(), _proxies.end(), address) != _proxies.end()) {
        // its header is awaited in a fiber of its own
        _fibers->spawn([this, socket, address] {
            std::string client = proxied(socket, address);
            if (client.empty()) {
                Log::writeG(ENTITY, Log::WARN, T::BadProxyHeader + address);
                ::close(socket);
                return;
            }
            admit(socket, client);
        });
        return;
    }
    admit(socket, address);
}

std::string Remote::proxied(int socket, const std::string& proxy) {
    auto deadline = std::chrono::steady_clock::now() + PROXY_HEADER_WAIT;
    char bytes[ProxyHeader::MOST];
    for (;;) {
        ssize_t seen = ::recv(socket, bytes, sizeof bytes, MSG_PEEK | MSG_DONTWAIT);
        if (seen == 0 || (seen < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return "";
        auto header = ProxyHeader::parse(
            std::string_view(bytes, static_cast<std::size_t>(std::max<ssize_t>(seen, 0))));
        if (header.state == ProxyHeader::State::INVALID)
            return "";
        if (header.state == ProxyHeader::State::DONE) {
            if (::recv(socket, bytes, header.length, MSG_WAITALL) !=
                static_cast<ssize_t>(header.length))
                return "";
            return header.client.empty() ? proxy : header.client;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0 || Fibers::poll(socket, POLLIN, static_cast<int>(left.count())) <= 0)
            return "";
    }
}

void Remote::admit(int socket, const std::string& address) {
    if (auto refusal = _main.gatekeeper().connect(address)) {
        Log::writeG(ENTITY, Log::WARN, T::Refused + address + refusal->log);
        std::string text =
            Util::lineEnds(refusal->tell + std::string("\n"), _settings.remote_out_crlf);
        ::send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(socket);
        return;
    }
    serve(socket, address);
}

void Remote::serve(int socket, const std::string& address) {
    try {
        int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        keepAlive(socket);
        auto terminal = std::make_shared<SocketTerminal>(socket, _settings, address,
                                                         [this] { return status(); });
        socket = -1; // the terminal's now
        terminal->negotiate();
        serve(terminal, address, _settings.remote_out_crlf);
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        if (socket >= 0)
            ::close(socket);
        _main.gatekeeper().disconnect(address);
    }
}

void Remote::serve(const std::shared_ptr<Terminal>& terminal, const std::string& address,
                   bool crlf) {
    bool registered = false;
    try {
        auto out = std::make_unique<Output>(terminal, crlf, _settings);
        auto in = std::make_unique<Input>(terminal, *out, _settings.max_line_bytes,
                                          static_cast<double>(_settings.commands_per_second));
        auto session = std::make_shared<Adventure>(_main, std::move(in), std::move(out));
        std::int32_t id;
        {
            std::lock_guard guard(_lock);
            if (_stopping) {
                _main.gatekeeper().disconnect(address);
                return; // the terminal closes its connection
            }
            id = _connection_id++;
            _connections[id] = std::make_unique<RemoteConnection>(terminal, session, id, address);
            registered = true;
        }
        session->setConnection(this, id, address);
        // A session that ends (with or without a player) gives its connection back.
        session->setOnFinished([this, id] { close(id); });
        Log::writeG(ENTITY, Log::INFO, T::OpenConnectionForIP + address);
        try {
            session->start(_fibers.get());
        } catch (const std::exception&) {
            close(id); // no stack or thread to be had: the client is let go
            throw;
        }
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        if (!registered)
            _main.gatekeeper().disconnect(address);
    }
}

void Remote::close(std::int32_t connection) {
    std::unique_ptr<RemoteConnection> gone;
    {
        std::lock_guard guard(_lock);
        auto found = _connections.find(connection);
        if (found == _connections.end())
            return;
        gone = std::move(found->second);
        _connections.erase(found);
    }
    _closed.notify_all();
    gone->close();
    _main.gatekeeper().disconnect(gone->address());
}

void Remote::stopAccepting() {
    // The socket stays open until the listener is destroyed: the loop may
    // still be in accept() on it.
    if (int socket = _socket; socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
    if (_web)
        _web->stopAccepting();
}

void Remote::close() {
    stopAccepting();
    std::lock_guard guard(_lock);
    for (auto& [id, connection] : _connections)
        connection->close();
}

void Remote::stop(std::chrono::milliseconds wait) {
    stopAccepting();
    std::unique_lock guard(_lock);
    _stopping = true;
    for (auto& [id, connection] : _connections)
        connection->endInput();
    _closed.wait_for(guard, wait, [this] { return _connections.empty(); });
}

} // namespace zanfir
