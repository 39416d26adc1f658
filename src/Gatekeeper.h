#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "common/Settings.h"

namespace zanfir {

// The limits a server puts on its clients, by the address they come from,
// whatever front-end they come through.
class Gatekeeper {
public:
    // Why a client is turned away: a line for it, and a reason for the log.
    struct Refusal {
        const char* tell;
        const char* log;
    };

    explicit Gatekeeper(const Settings& settings);
    Gatekeeper(const Gatekeeper&) = delete;
    Gatekeeper& operator=(const Gatekeeper&) = delete;

    // Counts a new connection from the address, unless it is one too many
    // for the server or for that address: then it is not counted, and
    // here is why.
    std::optional<Refusal> connect(const std::string& address);
    // A counted connection from the address ended.
    void disconnect(const std::string& address);

private:
    const std::size_t _max_connections;
    const std::size_t _max_per_address;
    std::mutex _lock;
    std::size_t _connected = 0;
    std::unordered_map<std::string, std::size_t> _by_address;
};

} // namespace zanfir
