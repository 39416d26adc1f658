#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Main.h"
#include "state/JsonFileStore.h"

namespace zanfir {

class Context;

// Works on the state of a shared world while no server runs it: lists the
// players, gives one a new password, removes one, moves one to a place of
// the map. The state stays locked while the admin lives (a server cannot
// start meanwhile), and each change is saved at once.
class Admin {
public:
    struct Player {
        std::string name;
        std::string place;
        std::vector<std::string> items; // carried
    };

    // Loads the adventure `name`.zanfa in `path` and its shared state.
    // Throws what loading throws: SerializationException when a server
    // runs that world.
    Admin(const std::string& name, const std::optional<std::string>& path);

    // By number, the order they came in.
    std::vector<Player> players();
    // The password is stored hashed. Throws Exception for an unknown player
    // or a password shorter than a player may choose.
    void resetPassword(const std::string& name, const std::string& password);
    // What the player carried stays at their place; returns the player as
    // they were. Throws Exception for an unknown player.
    Player remove(const std::string& name);
    // Throws Exception for an unknown player, LocationNotFoundException for
    // a place the map lacks.
    void move(const std::string& name, const std::string& place);

private:
    // The numbers of the players, in order.
    std::vector<std::int32_t> ids();
    // The number of the player of that name, in any letter case.
    std::int32_t find(const std::string& name);
    Player player(std::int32_t id);
    void save();

    Main _main;
    JsonFileStore _store;
    std::shared_ptr<Context> _state; // none while the world was never saved
};

} // namespace zanfir
