#include "engine/Scenes.h"

#include "state/Context.h"
#include "world/StateKeys.h"
#include "world/User.h"
#include "world/World.h"

namespace zanfir {

void Scenes::indexItems(Context& root) {
    if (auto items = root.get(StateKeys::items()))
        if (auto context = std::get_if<std::shared_ptr<Context>>(&*items))
            (*context)->indexBy(StateKeys::LOCATION, StateKeys::HIDDEN);
}

// A list is kept with the version and generation it was taken at, each read
// before what it covers: a change made meanwhile leaves the list stale under
// an old version, and the next scene takes it again.
std::shared_ptr<const Scenes::Items> Scenes::shown(const Context& items, const std::string& place) {
    const Context::Value where(place);
    if (auto version = items.versionWhere(StateKeys::LOCATION, where)) {
        std::uint64_t generation = _world.generation();
        std::lock_guard guard(_lock);
        auto found = _kept.find(place);
        if (found != _kept.end() && found->second.version == *version &&
            found->second.generation == generation)
            return found->second.items;
    }
    std::uint64_t version = 0;
    auto names = items.unflaggedWhere(StateKeys::LOCATION, where, version);
    const bool indexed = names.has_value();
    if (!indexed) { // a look into each item's state
        names.emplace();
        for (auto& [name, item] : items.nestedWhere(StateKeys::LOCATION, where))
            if (!item->getBoolean(StateKeys::HIDDEN))
                names->push_back(std::move(name));
    }
    std::uint64_t generation = 0;
    auto shown = std::make_shared<const Items>(_world.getItems(*names, &generation));
    if (indexed) {
        std::lock_guard guard(_lock);
        _kept[place] = {version, generation, shown, {}};
    }
    return shown;
}

// Made outside the lock (a crowded place has many lines); two sessions that
// make the same lines at once keep one.
std::shared_ptr<const Scenes::PlayerLines>
Scenes::playerLines(const std::string& place, const std::shared_ptr<const Items>& list,
                    const std::string& layout, const Line& line) {
    auto kept = [&]() -> Kept* {
        auto found = _kept.find(place);
        return found != _kept.end() && found->second.items == list ? &found->second : nullptr;
    };
    {
        std::lock_guard guard(_lock);
        Kept* entry = kept();
        if (!entry)
            return nullptr;
        Laid& laid = entry->lines[layout];
        if (laid.made)
            return laid.lines;
        if (laid.looks++ == 0)
            return nullptr;
    }
    auto lines = std::make_shared<PlayerLines>();
    for (const auto& item : *list) {
        auto player = dynamic_cast<const User*>(item.get());
        if (!player || !item->visible())
            continue;
        auto text = line(*item);
        if (!text) {
            lines.reset();
            break;
        }
        lines->text += *text;
        lines->ids.push_back(player->id());
        lines->ends.push_back(lines->text.size());
    }
    std::lock_guard guard(_lock);
    if (Kept* entry = kept()) {
        Laid& laid = entry->lines[layout];
        laid.made = true;
        laid.lines = lines;
    }
    return lines;
}

} // namespace zanfir
