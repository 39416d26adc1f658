#include "engine/Adventure.h"

#include <algorithm>

#include "T.h"
#include "engine/Main.h"
#include "engine/Scenes.h"
#include "engine/SeenPlayers.h"
#include "language/Description.h"
#include "runtime/Output.h"
#include "state/Context.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Quote.h"
#include "world/StateKeys.h"
#include "world/User.h"

namespace zanfir {

void Adventure::printQuotes() {
    while (auto quote = _user_item->getQuote()) {
        print(quote->user()->descr());
        println(T::Says + quote->text() + T::SaysX);
        println();
    }
}

void Adventure::printLocation() {
    auto here = getLocation();
    if (!here)
        return;
    if (isLocationSeen(*here)) {
        println(T::YouAre, here->descr(), T::YouAreX);
        return;
    }
    setLocationSeen(*here);
    if (here->hasLongDescription())
        println("", *here->descrLong(), "");
    else
        println(T::YouAre, here->descr(), T::YouAreX);
}

void Adventure::printItems() {
    printItems(itemsHere(true));
}

void Adventure::printUsers() {
    printUsers(itemsHere(true));
}

void Adventure::printItems(const std::shared_ptr<const Items>& here) {
    // One walk to the player's seen items serves the whole list; a first
    // sight fires events, which may change anything: the walk is made again.
    auto seenItems = [this] { return _ctx->nested(StateKeys::seenItems(userID())); };
    std::shared_ptr<Context> seen;
    for (const auto& item : *here) {
        if (!item->visible() || isItemUser(*item))
            continue;
        if (!seen)
            seen = seenItems();
        if (seen->getBoolean(item->name())) {
            println(T::ISee, item->descr(), T::ISeeX);
            continue;
        }
        setItemSeen(*item);
        seen.reset();
        if (item->hasFirstDescription())
            println(*item->descrFirst());
        else
            println(T::ISee, item->descr(), T::ISeeX);
    }
}

void Adventure::printUsers(const std::shared_ptr<const Items>& here) {
    const bool anySeen = _main.world().getEvent("ITEM-SEEN:*") != nullptr;
    const bool someSeen = _main.world().hasEvents("ITEM-SEEN"); // else no player's is looked up
    if (!anySeen && !someSeen && printPlayerLines(here))
        return;
    std::vector<std::int32_t> seen; // players no event waits for: marked at once
    for (const auto& item : *here) {
        if (!item->visible() || !isItemUser(*item) || isItemMyself(*item))
            continue;
        auto player = dynamic_cast<User*>(item.get());
        if (player && !anySeen &&
            (!someSeen || !_main.world().getEvent("ITEM-SEEN:" + item->name())))
            seen.push_back(player->id());
        else if (!isItemSeen(*item))
            setItemSeen(*item);
        println(T::HereThereIs, item->descr(), T::HereThereIsX);
    }
    SeenPlayers::add(*_ctx, userID(), seen);
}

// Every player in a crowded place lists the same players after each
// command: their lines are laid out once for all who see them alike, and
// each viewer is sent them but his own. Not when a player's description is
// an action (it may read the viewer's state).
bool Adventure::printPlayerLines(const std::shared_ptr<const Items>& here) {
    auto location = getLocation();
    auto other = [this](const std::shared_ptr<Item>& item) {
        auto player = dynamic_cast<const User*>(item.get());
        return player && player->id() != userID();
    };
    if (!location || _out->column() != 0 || std::none_of(here->begin(), here->end(), other))
        return false; // alone (a world of one's own): nothing worth keeping
    auto lines =
        _main.playerLines(location->name(), here, _out->layout(), [this](const Item& player) {
            Description& description = player.descr();
            return description.isPlain() && !description.isSilent()
                       ? std::optional(
                             _out->line(T::HereThereIs + description.text() + T::HereThereIsX))
                       : std::nullopt;
        });
    if (!lines)
        return false;
    std::vector<std::int32_t> seen;
    seen.reserve(lines->ids.size());
    std::size_t mine = lines->ids.size();
    for (std::size_t i = 0; i < lines->ids.size(); ++i) {
        if (lines->ids[i] == userID())
            mine = i;
        else
            seen.push_back(lines->ids[i]);
    }
    const std::string& text = lines->text;
    if (mine == lines->ids.size()) {
        _out->write(text);
    } else { // one copy: a crowded place's lines are long
        std::size_t begin = mine == 0 ? 0 : lines->ends[mine - 1], end = lines->ends[mine];
        std::string others;
        others.reserve(text.size() - (end - begin));
        others.append(text, 0, begin).append(text, end);
        _out->write(others);
    }
    SeenPlayers::add(*_ctx, userID(), seen);
    return true;
}

} // namespace zanfir
