#include "Remote.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "Main.h"
#include "T.h"
#include "adventure/Adventure.h"
#include "common/Input.h"
#include "common/Log.h"
#include "common/Output.h"
#include "common/SocketTerminal.h"
#include "common/Util.h"
#include "exception/RemoteConnectionException.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Remote";

std::string peerAddress(int socket) {
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
void keepAlive(int socket) {
    int on = 1, idle = 60, interval = 10, probes = 6;
    ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

} // namespace

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

Remote::Remote(Main& main, Settings settings) : _main(main), _settings(std::move(settings)) {}

void Remote::start() {
    listen();
    std::thread([this] { run(); }).detach();
}

void Remote::listen() {
    _port = Util::parseInt(_settings.remote_port);
    Log::writeG(ENTITY, Log::INFO, T::BeginListenOnPort + std::to_string(_port));
    try {
        if (_port < 0 || _port > 65535)
            throw std::system_error(EINVAL, std::generic_category(), "port");
        _socket = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool v6 = _socket >= 0;
        if (!v6)
            _socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (_socket < 0)
            throw std::system_error(errno, std::generic_category(), "socket");
        int on = 1, off = 0;
        ::setsockopt(_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        int bound;
        if (v6) {
            // Both IPv6 and IPv4 clients, on all addresses.
            ::setsockopt(_socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_any;
            address.sin6_port = htons(static_cast<std::uint16_t>(_port));
            bound = ::bind(_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        } else {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_ANY);
            address.sin_port = htons(static_cast<std::uint16_t>(_port));
            bound = ::bind(_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        if (bound != 0 || ::listen(_socket, SOMAXCONN) != 0)
            throw std::system_error(errno, std::generic_category(), "listen");
    } catch (const std::system_error& error) {
        if (_socket >= 0)
            ::close(_socket);
        _socket = -1;
        Log::writeG(ENTITY, Log::FAIL, error);
        throw RemoteConnectionException(T::ErrorListeningConnections);
    }
}

Remote::~Remote() {
    close();
    if (_socket >= 0)
        ::close(_socket);
}

void Remote::run() {
    while (_socket >= 0) {
        int connection = ::accept4(_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            // A client that left before it was accepted, or no file
            // descriptor to spare for a moment: go on listening.
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE ||
                errno == ENOBUFS || errno == ENOMEM || errno == EPROTO) {
                if (errno != EINTR && errno != ECONNABORTED)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            return;
        }
        accepted(connection);
    }
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
    bool registered = false;
    try {
        int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        keepAlive(socket);
        auto terminal = std::make_shared<SocketTerminal>(socket, _settings, address);
        socket = -1; // the terminal's now
        auto out = std::make_unique<Output>(terminal, _settings.remote_out_crlf, _settings);
        auto in = std::make_unique<Input>(terminal, *out, Input::MAX_REMOTE_LINE,
                                          static_cast<double>(_settings.commands_per_second));
        auto session = std::make_shared<Adventure>(_main, std::move(in), std::move(out));
        std::int32_t id;
        {
            std::lock_guard guard(_lock);
            if (_stopping) {
                _main.gatekeeper().disconnect(address);
                return; // the terminal closes the socket
            }
            id = _connection_id++;
            _connections[id] = std::make_unique<RemoteConnection>(terminal, session, id, address);
            registered = true;
        }
        session->setConnection(this, id, address);
        // A session that ends (with or without a player) gives its socket back.
        session->setOnFinished([this, id] { close(id); });
        Log::writeG(ENTITY, Log::INFO, T::OpenConnectionForIP + address);
        session->start();
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        if (socket >= 0)
            ::close(socket);
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
