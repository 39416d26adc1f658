#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zanfir {

class Adventure;
class Main;

// The TCP listener of server mode: each accepted connection gets a session
// of its own, and stays in the table until that session ends.
class Remote {
public:
    // One accepted connection and the session playing on it.
    class RemoteConnection {
    public:
        RemoteConnection(Remote& remote, int socket, std::shared_ptr<Adventure> adventure,
                         std::int32_t id);
        virtual ~RemoteConnection() = default;

        virtual std::int32_t id() const { return _id; }
        virtual bool isUserID(std::int32_t userId) const;
        // Closes the socket; errors are ignored.
        virtual void close();

    private:
        Remote& _remote;
        std::int32_t _id;
        int _socket;
        std::shared_ptr<Adventure> _adventure;
    };

    // Opens the port "RemotePort" (default 12345) on all addresses. Throws
    // NumberFormatException for a port that is no number and
    // RemoteConnectionException when it cannot listen.
    explicit Remote(Main& main);
    virtual ~Remote();
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    // Runs the accept loop on a new detached thread.
    void start();
    // The accept loop; returns when accepting fails.
    virtual void run();
    // Closes the listening socket and every connection.
    virtual void close();
    // Closes and forgets every connection of that player.
    virtual void close(std::int32_t userId);

    int port() const { return _port; }

private:
    void accepted(int socket);
    // Closes and forgets one connection, when it is still in the table.
    void forget(std::int32_t connection);

    Main& _main;
    int _port;
    int _socket = -1;
    std::map<std::int32_t, std::unique_ptr<RemoteConnection>> _connections;
    std::int32_t _connection_id = 1;
    mutable std::mutex _lock; // the connection table
};

} // namespace zanfir
