#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/FrontEnd.h"
#include "runtime/Settings.h"

namespace zanfir {

class Adventure;
class Fibers;
class Main;
class Terminal;
class WebListener;

// The TCP listener of server mode: each accepted connection gets a session
// of its own, and stays in the table until that session ends.
class Remote : public FrontEnd {
public:
    // One accepted connection and the session playing on it.
    class RemoteConnection {
    public:
        RemoteConnection(std::shared_ptr<Terminal> terminal, std::shared_ptr<Adventure> adventure,
                         std::int32_t id, std::string address);
        virtual ~RemoteConnection() = default;

        virtual std::int32_t id() const { return _id; }
        const std::string& address() const { return _address; }
        // Ends the connection; errors are ignored.
        virtual void close();
        // Ends its input: its session finishes and ends.
        void endInput();

    private:
        std::int32_t _id;
        std::string _address;
        std::shared_ptr<Terminal> _terminal;
        std::shared_ptr<Adventure> _adventure;
    };

    Remote(Main& main, Settings settings);
    ~Remote() override;
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    // Opens the port "RemotePort" on "RemoteAddress" (every address when it
    // is empty), says so on standard output, and runs the accept loop on a
    // new detached thread. Throws NumberFormatException for a port that is
    // no number and RemoteConnectionException, with the port and the
    // reason, when it cannot listen.
    void start() override;
    // The accept loop; returns when accepting fails.
    virtual void run();
    void close() override;
    void close(std::int32_t connection) override;
    void stop(std::chrono::milliseconds wait) override;

    int port() const { return _port; }
    // Where every session of the server runs, from start() on.
    Fibers& fibers() { return *_fibers; }
    // Opens a listening socket on the port of that address (every address
    // when it is empty) and says so on standard output. Throws
    // RemoteConnectionException, with the port and the reason.
    static int openPort(const std::string& host, int port);
    // The address of a connected socket's peer, as the log shows it (IPv4
    // dotted). Throws std::system_error.
    static std::string peerAddress(int socket);
    // The next connection on a listening socket, waiting out what passes (a
    // client gone before it was accepted, no descriptor to spare); -1 once
    // the socket accepts no more.
    static int acceptOne(int listening);
    // Probes a connection's link now and then (TCP keepalive).
    static void keepAlive(int socket);
    // A session for a client admitted by the gatekeeper, on its terminal,
    // in a fiber of its own; its lines end with CR LF when `crlf`.
    void serve(const std::shared_ptr<Terminal>& terminal, const std::string& address, bool crlf);
    // What a client asking for it is told of the server (MSSP).
    std::vector<std::pair<std::string, std::string>> status() const;

private:
    void listen();
    // Wakes the accept loop, which then ends.
    void stopAccepting();
    void accepted(int socket);
    // How long a trusted proxy has to send its header.
    static constexpr std::chrono::seconds PROXY_HEADER_WAIT{5};
    // The client a trusted proxy (TelnetProxies) names in the PROXY header it
    // sends first, read off the socket: the proxy's own address when it
    // speaks for itself; empty when no valid header came in time.
    static std::string proxied(int socket, const std::string& proxy);
    // Lets the client in, unless the gatekeeper refuses it.
    void admit(int socket, const std::string& address);
    // Admitted by the gatekeeper: a session for the client.
    void serve(int socket, const std::string& address);

    Main& _main;
    Settings _settings;
    std::vector<std::string> _proxies; // TelnetProxies, one address each
    int _port = 0;
    std::time_t _started = 0; // when it began to listen
    std::atomic<int> _socket{-1};
    std::map<std::int32_t, std::unique_ptr<RemoteConnection>> _connections;
    std::int32_t _connection_id = 1;
    bool _stopping = false;            // no more connections
    mutable std::mutex _lock;          // the connection table
    std::condition_variable _closed;   // a connection left the table
    std::unique_ptr<WebListener> _web; // with WebPort
    std::unique_ptr<Fibers> _fibers;   // the sessions of every client
};

} // namespace zanfir
