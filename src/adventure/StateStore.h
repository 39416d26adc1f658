#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Context;

// Where the state of play is kept between runs: the shared world of
// multi-user mode, and the games players save in the single-player modes.
// A save replaces the saved state whole or leaves it as it was.
class StateStore {
public:
    virtual ~StateStore() = default;

    // The shared state as last saved; none when it never was. Throws
    // SerializationException for a state that cannot be read.
    virtual std::shared_ptr<Context> loadShared() = 0;
    // Throws SerializationException.
    virtual void saveShared(const Context& state) = 0;
    // Throws SerializationException when the shared state could not be
    // saved now (no room, no permission), so that a server can refuse to
    // start rather than lose its players' progress.
    virtual void checkWritable() = 0;
    // The game a player saved (their name as given at login); none when
    // there is none. Throws SerializationException for a state that cannot
    // be read or is no game of that player.
    virtual std::shared_ptr<Context> loadGame(const std::string& player) = 0;
    // Throws SerializationException.
    virtual void saveGame(const std::string& player, const Context& state) = 0;
};

} // namespace zanfir
