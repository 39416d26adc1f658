#include "world/StateKeys.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace zanfir {

namespace {

// The parts joined by dots, made in one allocation: keys are made for
// nearly every read of the state.
std::string path(std::initializer_list<std::string_view> parts) {
    std::size_t size = parts.size() - 1;
    for (auto part : parts)
        size += part.size();
    std::string key;
    key.reserve(size);
    bool first = true;
    for (auto part : parts) {
        if (!std::exchange(first, false))
            key += '.';
        key.append(part);
    }
    return key;
}

} // namespace

std::string StateKeys::inGlobalItemLocation(const std::string& item) {
    return path({"ITEMS", item, LOCATION});
}

std::string StateKeys::inGlobalItemHidden(const std::string& item) {
    return path({"ITEMS", item, HIDDEN});
}

std::string StateKeys::inGlobalItemUser(const std::string& item) {
    return path({"ITEMS", item, "USER"});
}

std::string StateKeys::inUserInventory(const std::string& item) {
    return path({"INVENTORY", item});
}

std::string StateKeys::inUserSeenItem(const std::string& item) {
    return path({"SEEN", "ITEMS", item});
}

std::string StateKeys::inUserLocation() {
    return LOCATION;
}

std::string StateKeys::inUserVariables() {
    return "VARIABLES";
}

std::string StateKeys::items() {
    return path({GLOBAL, "ITEMS"});
}

std::string StateKeys::item(const std::string& item) {
    return path({GLOBAL, "ITEMS", item});
}

std::string StateKeys::itemLocation(const std::string& item) {
    return path({GLOBAL, "ITEMS", item, LOCATION});
}

std::string StateKeys::itemHidden(const std::string& item) {
    return path({GLOBAL, "ITEMS", item, HIDDEN});
}

std::string StateKeys::user(std::int32_t id) {
    return path({USERS, std::to_string(id)});
}

std::string StateKeys::userName(std::int32_t id) {
    return path({USERS, std::to_string(id), NAME});
}

std::string StateKeys::userPassword(std::int32_t id) {
    return path({USERS, std::to_string(id), PASSWORD});
}

std::string StateKeys::userLocation(std::int32_t id) {
    return path({USERS, std::to_string(id), LOCATION});
}

std::string StateKeys::intro(std::int32_t id) {
    return path({USERS, std::to_string(id), "INTRO"});
}

std::string StateKeys::inventory(std::int32_t id) {
    return path({USERS, std::to_string(id), "INVENTORY"});
}

std::string StateKeys::inventory(std::int32_t id, const std::string& item) {
    return path({USERS, std::to_string(id), "INVENTORY", item});
}

std::string StateKeys::seenItems(std::int32_t id) {
    return path({USERS, std::to_string(id), "SEEN", "ITEMS"});
}

std::string StateKeys::seenItem(std::int32_t id, const std::string& item) {
    return path({USERS, std::to_string(id), "SEEN", "ITEMS", item});
}

std::string StateKeys::seenPlayers(std::int32_t id) {
    return path({USERS, std::to_string(id), "SEEN", "PLAYERS"});
}

std::string StateKeys::seenLocation(std::int32_t id, const std::string& location) {
    return path({USERS, std::to_string(id), "SEEN", "LOCATIONS", location});
}

std::string StateKeys::phrase(std::int32_t id) {
    return path({USERS, std::to_string(id), "PHRASE"});
}

std::string StateKeys::event(std::int32_t id) {
    return path({USERS, std::to_string(id), "EVENT"});
}

std::string StateKeys::inEventItem() {
    return "ITEM";
}

std::string StateKeys::inEventLocation() {
    return "LOCATION";
}

std::string StateKeys::variables() {
    return path({USERS, "VARIABLES"});
}

std::string StateKeys::variable(const std::string& name) {
    return path({USERS, "VARIABLES", name});
}

} // namespace zanfir
