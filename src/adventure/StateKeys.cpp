#include "adventure/StateKeys.h"

namespace zanfir {

namespace {

std::string in(const char* context, const std::string& path) {
    return std::string(context) + "." + path;
}

} // namespace

std::string StateKeys::inGlobalItemLocation(const std::string& item) {
    return "ITEMS." + item + "." + LOCATION;
}

std::string StateKeys::inGlobalItemHidden(const std::string& item) {
    return "ITEMS." + item + "." + HIDDEN;
}

std::string StateKeys::inGlobalItemUser(const std::string& item) {
    return "ITEMS." + item + ".USER";
}

std::string StateKeys::inUserInventory(const std::string& item) {
    return "INVENTORY." + item;
}

std::string StateKeys::inUserSeenItem(const std::string& item) {
    return "SEEN.ITEMS." + item;
}

std::string StateKeys::inUserLocation() {
    return LOCATION;
}

std::string StateKeys::inUserVariables() {
    return "VARIABLES";
}

std::string StateKeys::items() {
    return in(GLOBAL, "ITEMS");
}

std::string StateKeys::item(const std::string& item) {
    return items() + "." + item;
}

std::string StateKeys::itemLocation(const std::string& item) {
    return in(GLOBAL, inGlobalItemLocation(item));
}

std::string StateKeys::itemHidden(const std::string& item) {
    return in(GLOBAL, inGlobalItemHidden(item));
}

std::string StateKeys::user(std::int32_t id) {
    return in(USERS, std::to_string(id));
}

std::string StateKeys::userName(std::int32_t id) {
    return user(id) + "." + NAME;
}

std::string StateKeys::userPassword(std::int32_t id) {
    return user(id) + "." + PASSWORD;
}

std::string StateKeys::userLocation(std::int32_t id) {
    return user(id) + "." + inUserLocation();
}

std::string StateKeys::intro(std::int32_t id) {
    return user(id) + ".INTRO";
}

std::string StateKeys::inventory(std::int32_t id) {
    return user(id) + ".INVENTORY";
}

std::string StateKeys::inventory(std::int32_t id, const std::string& item) {
    return user(id) + "." + inUserInventory(item);
}

std::string StateKeys::seenItems(std::int32_t id) {
    return user(id) + ".SEEN.ITEMS";
}

std::string StateKeys::seenItem(std::int32_t id, const std::string& item) {
    return user(id) + "." + inUserSeenItem(item);
}

std::string StateKeys::seenPlayers(std::int32_t id) {
    return user(id) + ".SEEN.PLAYERS";
}

std::string StateKeys::seenLocation(std::int32_t id, const std::string& location) {
    return user(id) + ".SEEN.LOCATIONS." + location;
}

std::string StateKeys::phrase(std::int32_t id) {
    return user(id) + ".PHRASE";
}

std::string StateKeys::phraseVerb(std::int32_t id) {
    return phrase(id) + "." + VERB;
}

std::string StateKeys::phraseItem(std::int32_t id, int n) {
    return phrase(id) + "." + PHRASE_ITEMS + "." + std::to_string(n);
}

std::string StateKeys::event(std::int32_t id) {
    return user(id) + ".EVENT";
}

std::string StateKeys::inEventItem() {
    return "ITEM";
}

std::string StateKeys::inEventLocation() {
    return "LOCATION";
}

std::string StateKeys::variables() {
    return in(USERS, inUserVariables());
}

std::string StateKeys::variable(const std::string& name) {
    return variables() + "." + name;
}

} // namespace zanfir
