#include "tools/Admin.h"

#include <algorithm>

#include "T.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "util/PasswordHash.h"
#include "util/Util.h"
#include "world/Location.h"
#include "world/StateKeys.h"

namespace zanfir {

namespace {

constexpr std::size_t MIN_PASSWORD = 4; // as a player chooses it

std::shared_ptr<Context> nested(Context& ctx, const std::string& path) {
    auto value = ctx.get(path);
    return value && std::holds_alternative<std::shared_ptr<Context>>(*value)
               ? std::get<std::shared_ptr<Context>>(*value)
               : nullptr;
}

} // namespace

Admin::Admin(const std::string& name, const std::optional<std::string>& path)
    : _main(name, path, true, false, false),
      _store(_main.getBaseDir(), Util::toLower(Util::trim(name))) {
    _store.lockShared();
    _main.load();
    _state = _store.loadShared();
}

std::vector<std::int32_t> Admin::ids() {
    std::vector<std::int32_t> found;
    if (auto users = _state ? nested(*_state, StateKeys::USERS) : nullptr)
        for (const auto& entry : users->names())
            try {
                found.push_back(Util::parseInt(entry));
            } catch (const std::exception&) { // no player
            }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<Admin::Player> Admin::players() {
    std::vector<Player> found;
    for (std::int32_t id : ids())
        found.push_back(player(id));
    return found;
}

Admin::Player Admin::player(std::int32_t id) {
    Player player{_state->getString(StateKeys::userName(id)),
                  _state->getString(StateKeys::userLocation(id)),
                  {}};
    if (auto inventory = nested(*_state, StateKeys::inventory(id)))
        for (const auto& [item, carried] : inventory->entries())
            if (std::holds_alternative<bool>(carried) && std::get<bool>(carried))
                player.items.push_back(item);
    std::sort(player.items.begin(), player.items.end());
    return player;
}

std::int32_t Admin::find(const std::string& name) {
    std::string wanted = Util::toUpper(Util::trim(name));
    for (std::int32_t id : ids())
        if (Util::toUpper(_state->getString(StateKeys::userName(id))) == wanted)
            return id;
    throw Exception(T::AdminUnknownPlayer + Util::trim(name) + T::QuoteEnd);
}

void Admin::resetPassword(const std::string& name, const std::string& password) {
    std::int32_t id = find(name);
    if (Util::length(Util::trim(password)) < MIN_PASSWORD)
        throw Exception(T::AdminShortPassword);
    _state->setString(StateKeys::userPassword(id), PasswordHash::hash(Util::trim(password)));
    save();
}

Admin::Player Admin::remove(const std::string& name) {
    std::int32_t id = find(name);
    Player gone = player(id);
    for (const auto& item : gone.items)
        _state->setString(StateKeys::itemLocation(item), gone.place);
    _state->remove(StateKeys::user(id));
    save();
    return gone;
}

void Admin::move(const std::string& name, const std::string& place) {
    std::int32_t id = find(name);
    auto location = _main.world().getLocation(place);
    _state->setString(StateKeys::userLocation(id), location->name());
    save();
}

void Admin::save() {
    _store.checkpoint([this] { return _state; });
}

} // namespace zanfir
