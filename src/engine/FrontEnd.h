#pragma once

#include <chrono>
#include <cstdint>

namespace zanfir {

// A way for players to reach the engine: the console, a TCP listener. Each
// gives every session it starts a terminal and a connection number of its
// own; the engine closes a player's connection when that session ends.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Opens what it serves on and starts serving on threads of its own;
    // throws when it cannot. Called once, when the world is loaded.
    virtual void start() = 0;
    // Closes one connection; a number no longer open is ignored.
    virtual void close(std::int32_t connection) = 0;
    // Stops accepting players and closes every connection.
    virtual void close() = 0;
    // Stops accepting players and ends the input of every connection, so
    // that each session finishes its command, says goodbye and ends; returns
    // when they all have, or after `wait`.
    virtual void stop(std::chrono::milliseconds wait) = 0;
};

} // namespace zanfir
