#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "runtime/Settings.h"

namespace zanfir {

// The limits a server puts on its clients, by the address they come from,
// whatever front-end they come through. An IPv6 client counts by its /64
// network, the block one subscriber is given; an IPv4 client by its address.
class Gatekeeper {
public:
    using Clock = std::chrono::steady_clock;

    // Why a client is turned away: a line for it, and a reason for the log.
    struct Refusal {
        const char* tell;
        const char* log;
    };

    // `now` tells the time (the tests turn it).
    explicit Gatekeeper(const Settings& settings,
                        std::function<Clock::time_point()> now = Clock::now);
    Gatekeeper(const Gatekeeper&) = delete;
    Gatekeeper& operator=(const Gatekeeper&) = delete;

    // Counts a new connection from the address, unless it is one too many
    // for the server or for that address: then it is not counted, and
    // here is why.
    std::optional<Refusal> connect(const std::string& address);
    // A counted connection from the address ended.
    void disconnect(const std::string& address);

    // Whether logins from the address are refused: too many wrong
    // passwords came from it lately, whatever the names.
    bool lockedOut(const std::string& address);
    // Whether the name is refused to the address: too many wrong passwords
    // for it came from there (or the address is locked out).
    bool lockedOut(const std::string& address, const std::string& name);
    void loginFailed(const std::string& address, const std::string& name);
    // Counts a new player from the address, unless it made too many in the
    // last minute.
    bool mayCreatePlayer(const std::string& address);
    // Whether the address made too many new players in the last minute
    // (nothing is counted).
    bool newPlayersSpent(const std::string& address);

    // Past so many wrong passwords for one name from one address within the
    // window, the name is locked for that address until they fall out of
    // it; the whole address, past AddressLockoutFailures for any names.
    static constexpr std::size_t LOGIN_FAILURES = 10;
    static constexpr std::chrono::minutes FAILURE_WINDOW{10};

    // What an address counts as: itself, or its /64 for IPv6.
    static std::string source(const std::string& address);

private:
    // The moments of one kind of event, by address, within a window.
    class Recent {
    public:
        explicit Recent(Clock::duration window);
        std::size_t count(const std::string& address, Clock::time_point now);
        void add(const std::string& address, Clock::time_point now);

    private:
        const Clock::duration _window;
        std::unordered_map<std::string, std::deque<Clock::time_point>> _events;
        // Addresses without a recent event are forgotten when there are
        // so many: a sweep costs no more than the additions before it.
        std::size_t _sweep_at;
    };

    const std::function<Clock::time_point()> _now;
    const std::size_t _max_connections;
    const std::size_t _max_per_address;
    std::mutex _lock;
    std::size_t _connected = 0;
    std::unordered_map<std::string, std::size_t> _by_address;
    const std::size_t _new_players_per_minute;
    const std::size_t _address_failures_limit;
    Recent _failures{FAILURE_WINDOW};         // by address and name
    Recent _address_failures{FAILURE_WINDOW}; // by address
    Recent _new_players{std::chrono::minutes(1)};
};

} // namespace zanfir
