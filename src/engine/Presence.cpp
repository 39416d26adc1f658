#include "engine/Presence.h"

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "state/Context.h"
#include "world/Location.h"
#include "world/StateKeys.h"
#include "world/User.h"
#include "world/World.h"

namespace zanfir {

void Presence::moved(const Location* from, const Location& to, int direction) {
    if (!_session.main().isMultiUser())
        return;
    const std::string name = _session.userName();
    if (from) {
        std::string way = T::Leaves;
        switch (direction) {
        case Location::N:
            way = T::GoesNorth;
            break;
        case Location::S:
            way = T::GoesSouth;
            break;
        case Location::E:
            way = T::GoesEast;
            break;
        case Location::W:
            way = T::GoesWest;
            break;
        case Location::U:
            way = T::GoesUp;
            break;
        case Location::D:
            way = T::GoesDown;
            break;
        default:
            break;
        }
        tell(*from, "- " + name + way);
    }
    tell(to, T::Arrives + name + ".");
}

void Presence::tell(const Location& place, const std::string& text) {
    auto state = _session.context()->get(StateKeys::items());
    if (!state || !std::holds_alternative<std::shared_ptr<Context>>(*state))
        return;
    std::vector<std::string> names;
    for (auto& [item, values] :
         std::get<std::shared_ptr<Context>>(*state)->nestedWhere(StateKeys::LOCATION, place.name()))
        names.push_back(item);
    for (const auto& item : _session.main().world().getItems(names))
        if (auto player = std::dynamic_pointer_cast<User>(item);
            player && player != _session.user())
            player->putNotice(text);
}

} // namespace zanfir
