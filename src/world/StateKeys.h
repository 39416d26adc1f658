#pragma once

#include <cstdint>
#include <string>

namespace zanfir {

// The paths of the state of play, made here and nowhere else. The root
// context a session plays in holds the world under GLOBAL and each player,
// by number, under USER; an action's view holds the running player's own
// context as USER. The `in...` forms are relative to the GLOBAL context and
// to a player's own, as an item writes its first state into them.
class StateKeys {
public:
    static constexpr const char* GLOBAL = "GLOBAL";
    static constexpr const char* USERS = "USER";
    // Leaves looked for across the entries of one context.
    static constexpr const char* NAME = "NAME";
    static constexpr const char* LOCATION = "LOCATION";
    static constexpr const char* HIDDEN = "HIDDEN";
    static constexpr const char* PASSWORD = "PASSWORD";
    // The parts of a player's phrase: PHRASE.VERB, PHRASE.ITEMS.<n>.
    static constexpr const char* VERB = "VERB";
    static constexpr const char* PHRASE_ITEMS = "ITEMS";

    // World state: GLOBAL.ITEMS.<item>...
    static std::string items();
    static std::string item(const std::string& item);
    static std::string itemLocation(const std::string& item);
    static std::string itemHidden(const std::string& item);

    // A player's state: USER.<id>...
    static std::string user(std::int32_t id);
    static std::string userName(std::int32_t id);
    static std::string userPassword(std::int32_t id);
    static std::string userLocation(std::int32_t id);
    static std::string intro(std::int32_t id);
    static std::string inventory(std::int32_t id);
    static std::string inventory(std::int32_t id, const std::string& item);
    static std::string seenItems(std::int32_t id);
    static std::string seenItem(std::int32_t id, const std::string& item);
    static std::string seenPlayers(std::int32_t id);
    static std::string seenLocation(std::int32_t id, const std::string& location);
    static std::string phrase(std::int32_t id);
    static std::string event(std::int32_t id);
    // Relative to USER.<id>.EVENT.
    static std::string inEventItem();
    static std::string inEventLocation();

    // Relative to GLOBAL, and to a player's own context.
    static std::string inGlobalItemLocation(const std::string& item);
    static std::string inGlobalItemHidden(const std::string& item);
    static std::string inGlobalItemUser(const std::string& item);
    static std::string inUserInventory(const std::string& item);
    static std::string inUserSeenItem(const std::string& item);
    static std::string inUserLocation();
    static std::string inUserVariables();

    // In an action's view: the running player's variables.
    static std::string variables();
    static std::string variable(const std::string& name);
};

} // namespace zanfir
