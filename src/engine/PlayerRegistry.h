#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/SeenPlayers.h"

namespace zanfir {

class ActionParser;
class Adventure;
class Context;
class FrontEnd;
class Location;
class ObjectRef;
struct Settings;
class User;
class World;

// The players and their sessions: who plays under which number and on
// which connection, which sessions wait for input, and the contexts their
// state lives in. In a shared world the players stay in its state between
// logins and are found by name through an index. One lock guards it all,
// the engine's registration lock: it comes first in the lock order, before
// the items' and players' locks and the contexts' (the world's lock is a
// leaf below them all).
class PlayerRegistry {
public:
    // Where a session's player is served: the front-end and its connection.
    struct Connection {
        FrontEnd* front_end = nullptr;
        std::int32_t id = 0;
    };

    // New players start at the place `start`. In a shared world (multiuser)
    // every session plays in the one state given to adopt().
    // Each player's queue of sentences has the limits of the settings.
    PlayerRegistry(World& world, ActionParser& parser, std::string start, bool multiuser,
                   const Settings& settings);
    PlayerRegistry(const PlayerRegistry&) = delete;
    PlayerRegistry& operator=(const PlayerRegistry&) = delete;

    // The state of the shared world, with the players it holds: they are
    // found by name from now on, and new players are numbered after the
    // highest.
    void adopt(std::shared_ptr<Context> shared);

    // The number of the player of that name (exactly as stored), or 0;
    // always 0 outside a shared world.
    std::int32_t userFind(const std::string& name) const;
    bool userExist(const std::string& name) const { return userFind(name) > 0; }
    // Whether the player of that name exists and the password is theirs;
    // always true outside a shared world.
    bool userVerify(const std::string& name, const std::string& password) const;
    std::int32_t newUserID();
    // A fresh world, and a new player's fresh state, in a context.
    void fillGlobalContext(Context& ctx);
    void fillUserContext(Context& ctx, std::int32_t id);
    // A world of one's own as it begins, for this player (a game started
    // again).
    std::shared_ptr<Context> newWorld(User& player);

    // Registers a session and returns its player, made when new; the holder
    // receives the context the session plays in. In a shared world the
    // password is checked against the stored hash, and stored hashed for a
    // new player (or one whose password was kept in clear), without the lock
    // held. Throws LoginRefusedException when the player cannot log in now
    // (a wrong password too), and LocationNotFoundException for a start
    // place the map lacks. A player `proven` otherwise (a page's resume
    // token) is let in without the password: they must exist.
    std::shared_ptr<User> addAdventure(std::shared_ptr<Adventure> session, ObjectRef& holder,
                                       const std::string& name, const std::string& password,
                                       bool proven = false);
    // Unregisters a session and takes its player out of the world; the
    // connection recorded for it at login.
    Connection removeAdventure(Adventure& session, Context& ctx);
    bool isEmpty() const;
    // The sessions registered now.
    std::size_t online() const;
    // The players the shared world knows, online or not.
    std::size_t known() const;

    // Runs when the last registered session starts waiting for input,
    // under the lock.
    void setOnIdle(std::function<void()> onIdle) { _on_idle = std::move(onIdle); }
    void onEnterIdle();
    void onExitIdle();

private:
    struct Registered {
        std::shared_ptr<Adventure> session;
        Connection connection;
    };

    std::shared_ptr<Location> knownPlace(Context& ctx, std::int32_t id, const std::string& name);
    // The password stored for the player of that name (hashed, or in clear);
    // none when there is no such player.
    std::optional<std::string> credential(const std::string& name) const;
    // addAdventure under the lock: none when the player's stored password is
    // no longer `checked` (none: there was no player), or when an older
    // session plays them (then given in `older`). `store` is what to store
    // as their password, when not empty.
    // The player's own part of the state: their items, name and stored
    // password.
    void fillPlayer(Context& ctx, std::int32_t id, const std::string& name,
                    const std::string& store);
    std::shared_ptr<User> admit(const std::shared_ptr<Adventure>& session, ObjectRef& holder,
                                const std::string& name, const std::optional<std::string>& checked,
                                const std::string& store, std::shared_ptr<Adventure>& older);
    // Ends the older session of a player who logs in again, and waits until
    // it has handed the player back; LoginRefusedException when it does not
    // within TAKE_OVER_WAIT.
    void takeOver(Adventure& older);
    static constexpr std::chrono::seconds TAKE_OVER_WAIT{10};
    static constexpr std::chrono::milliseconds TAKE_OVER_LOOK{10};

    World& _world;
    ActionParser& _parser;
    const std::string _start;
    const bool _multiuser;
    const std::size_t _quote_queue;
    const std::size_t _quote_queue_bytes;
    std::shared_ptr<Context> _shared;
    std::unordered_map<std::string, std::int32_t> _names; // of the shared world's players
    SeenPlayers _seen;
    std::int32_t _user_id = 1;
    std::unordered_map<std::int32_t, Registered> _adventures;
    std::int32_t _idle_adventures = 0;
    std::function<void()> _on_idle;
    mutable std::recursive_mutex _lock;
};

} // namespace zanfir
