#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zanfir {

class Context;

// Where the state of play is kept between runs: the shared world of
// multi-user mode, and the games players save in the single-player modes.
//
// The shared world is kept as a checkpoint, saved from time to time, and a
// journal of the changes made since, which a store may keep (or not): the
// journal makes each change durable on demand, at a cost that does not grow
// with the world, and a checkpoint folds it in. A save of a checkpoint or
// of a game replaces what was saved whole, or leaves it as it was.
class StateStore {
public:
    virtual ~StateStore() = default;

    // Keeps the shared state for this process alone, until the store is
    // destroyed: a second server, or the admin program, cannot take it
    // meanwhile. Throws SerializationException when another process has it.
    virtual void lockShared() = 0;
    // The shared state as last saved: the checkpoint, with the changes of
    // the journal made again. None when it was never saved. Throws
    // SerializationException for a state that cannot be read.
    virtual std::shared_ptr<Context> loadShared() = 0;
    // Saves a checkpoint of the shared state; `copy` gives, when called, the
    // copy to save. Play goes on meanwhile. Throws SerializationException.
    virtual void checkpoint(const std::function<std::shared_ptr<Context>()>& copy) = 0;
    // From now on the changes of the shared state go to the journal (a store
    // that keeps none ignores this). Throws SerializationException.
    virtual void follow(Context& shared) = 0;
    // Returns once every change made so far is durable: whatever a player
    // was told, the state it came from survives a crash. At once when the
    // store keeps no journal or cannot write it.
    virtual void awaitDurable() = 0;
    // The bytes of changes kept since the last checkpoint.
    virtual std::uint64_t journalBytes() = 0;
    // Why changes cannot be made durable now; empty while they can.
    virtual std::string journalError() = 0;
    // How many times the journal was synced to the disk so far.
    virtual std::uint64_t journalSyncs() = 0;

    // The game a player saved (their name as given at login); none when
    // there is none. Throws SerializationException for a state that cannot
    // be read or is no game of that player.
    virtual std::shared_ptr<Context> loadGame(const std::string& player) = 0;
    // Throws SerializationException.
    virtual void saveGame(const std::string& player, const Context& state) = 0;
};

} // namespace zanfir
