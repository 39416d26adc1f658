#pragma once

#include <atomic>
#include <string>

#include "runtime/Settings.h"

namespace zanfir {

class Main;
class Remote;

// The web door of a server, on WebPort: the page at "/", and at "/ws" a
// WebSocket for each player, handed to the Remote as a session like a
// telnet connection (the same login, limits and log). Each connection is
// read in a fiber of the server's, within a timeout, with its size capped; a
// WebSocket whose Origin is neither the page's own host nor one of
// WebOrigins is refused.
class WebListener {
public:
    // How long a client has to send its request.
    static constexpr std::chrono::seconds REQUEST_TIMEOUT{10};

    WebListener(Remote& remote, Main& main, const Settings& settings);
    ~WebListener();
    WebListener(const WebListener&) = delete;
    WebListener& operator=(const WebListener&) = delete;

    // Opens WebPort and accepts on a new detached thread. Throws
    // RemoteConnectionException when it cannot listen.
    void start();
    // Wakes the accept loop, which then ends.
    void stopAccepting();

    // The page, with the adventure's title and the longest line a player
    // may send.
    static std::string page(const std::string& title, std::size_t maxLine);
    // Whether a WebSocket from that Origin may open, for a request to the
    // host `host`: its host (and port) is that one, or one of `allowed`,
    // separated by commas (no scheme: "//" begins a comment in the file).
    static bool originAllowed(const std::string& origin, const std::string& host,
                              const std::string& allowed);

private:
    void run();
    // One client's request, in a fiber of the server's.
    void handle(int socket, std::string address);

    Remote& _remote;
    Main& _main;
    const Settings& _settings;
    std::atomic<int> _socket{-1};
};

} // namespace zanfir
