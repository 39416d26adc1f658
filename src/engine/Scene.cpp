#include "engine/Scene.h"

#include <algorithm>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "engine/Scenes.h"
#include "engine/SeenPlayers.h"
#include "language/Description.h"
#include "runtime/Output.h"
#include "runtime/Terminal.h"
#include "state/Context.h"
#include "util/Util.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Quote.h"
#include "world/StateKeys.h"
#include "world/User.h"

namespace zanfir {

void Scene::show() {
    printQuotes();
    printLocation();
    auto here = _session.itemsHere(true);
    printItems(here);
    printUsers(here);
}

void Scene::printQuotes() {
    while (auto quote = _session.user()->getQuote())
        printQuote(*quote);
}

void Scene::printQuote(const Quote& quote) {
    if (quote.user()) {
        _session.print(quote.user()->descr());
        _session.println(T::Says + quote.text() + T::SaysX);
    } else {
        _session.println(quote.text());
    }
    _session.println();
}

void Scene::showLive() {
    auto quote = _awaiting_command && _session.user() ? _session.user()->getQuote() : nullptr;
    if (!quote)
        return;
    _session.println(); // off the prompt's row
    do
        printQuote(*quote);
    while ((quote = _session.user()->getQuote()));
    _session.print(T::Prompt);
}

void Scene::printLocation() {
    auto here = _session.getLocation();
    if (!here)
        return;
    if (_session.isLocationSeen(*here)) {
        _session.println(T::YouAre, here->descr(), T::YouAreX);
        return;
    }
    _session.setLocationSeen(*here);
    if (here->hasLongDescription())
        _session.println("", *here->descrLong(), "");
    else
        _session.println(T::YouAre, here->descr(), T::YouAreX);
}

void Scene::printItems() {
    printItems(_session.itemsHere(true));
}

void Scene::printUsers() {
    printUsers(_session.itemsHere(true));
}

void Scene::printItems(const std::shared_ptr<const Items>& here) {
    // One walk to the player's seen items serves the whole list; a first
    // sight fires events, which may change anything: the walk is made again.
    auto seenItems = [this] {
        return _session.context()->nested(StateKeys::seenItems(_session.userID()));
    };
    std::shared_ptr<Context> seen;
    for (const auto& item : *here) {
        if (!item->visible() || _session.isItemUser(*item))
            continue;
        if (!seen)
            seen = seenItems();
        if (seen->getBoolean(item->name())) {
            _session.println(T::ISee, item->descr(), T::ISeeX);
            continue;
        }
        _session.setItemSeen(*item);
        seen.reset();
        if (item->hasFirstDescription())
            _session.println(*item->descrFirst());
        else
            _session.println(T::ISee, item->descr(), T::ISeeX);
    }
}

void Scene::printUsers(const std::shared_ptr<const Items>& here) {
    const World& world = _session.main().world();
    const bool anySeen = world.getEvent("ITEM-SEEN:*") != nullptr;
    const bool someSeen = world.hasEvents("ITEM-SEEN"); // else no player's is looked up
    if (!anySeen && !someSeen && printPlayerLines(here))
        return;
    std::vector<std::int32_t> seen; // players no event waits for: marked at once
    for (const auto& item : *here) {
        if (!item->visible() || !_session.isItemUser(*item) || _session.isItemMyself(*item))
            continue;
        auto player = dynamic_cast<User*>(item.get());
        if (player && !anySeen && (!someSeen || !world.getEvent("ITEM-SEEN:" + item->name())))
            seen.push_back(player->id());
        else if (!_session.isItemSeen(*item))
            _session.setItemSeen(*item);
        _session.println(T::HereThereIs, item->descr(), T::HereThereIsX);
    }
    SeenPlayers::add(*_session.context(), _session.userID(), seen);
}

// Every player in a crowded place lists the same players after each
// command: their lines are laid out once for all who see them alike, and
// each viewer is sent them but his own. Not when a player's description is
// an action (it may read the viewer's state).
bool Scene::printPlayerLines(const std::shared_ptr<const Items>& here) {
    auto location = _session.getLocation();
    Output& out = _session.out();
    const std::int32_t me = _session.userID();
    auto other = [me](const std::shared_ptr<Item>& item) {
        auto player = dynamic_cast<const User*>(item.get());
        return player && player->id() != me;
    };
    if (!location || out.column() != 0 || std::none_of(here->begin(), here->end(), other))
        return false; // alone (a world of one's own): nothing worth keeping
    auto lines = _session.main().scenes().playerLines(
        location->name(), here, out.layout(), [&out](const Item& player) {
            Description& description = player.descr();
            return description.isPlain() && !description.isSilent()
                       ? std::optional(
                             out.line(T::HereThereIs + description.text() + T::HereThereIsX))
                       : std::nullopt;
        });
    if (!lines)
        return false;
    std::vector<std::int32_t> seen;
    seen.reserve(lines->ids.size());
    std::size_t mine = lines->ids.size();
    for (std::size_t i = 0; i < lines->ids.size(); ++i) {
        if (lines->ids[i] == me)
            mine = i;
        else
            seen.push_back(lines->ids[i]);
    }
    const std::string& text = lines->text;
    if (mine == lines->ids.size()) {
        out.write(text);
    } else { // one copy: a crowded place's lines are long
        std::size_t begin = mine == 0 ? 0 : lines->ends[mine - 1], end = lines->ends[mine];
        std::string others;
        others.reserve(text.size() - (end - begin));
        others.append(text, 0, begin).append(text, end);
        out.write(others);
    }
    SeenPlayers::add(*_session.context(), me, seen);
    return true;
}

void Scene::showIntro() {
    SavedGames& games = _session.savedGames();
    if (games.isIntroSeen())
        return;
    if (auto intro = _session.messageIntro()) {
        _session.print(*intro);
        _session.println();
    }
    games.setIntroSeen();
}

void Scene::tellStatus() {
    Terminal& terminal = _session.out().terminal();
    auto here = terminal.showsStatus() ? _session.getLocation() : nullptr;
    if (!here)
        return; // nothing asked for, nor the registry's lock taken at every prompt
    const std::string& text = here->descr().text();
    std::string place = text.find('{') == std::string::npos
                            ? T::YouAre + text + T::YouAreX
                            : Util::capitalize(Util::toLower(here->name()));
    Main& main = _session.main();
    terminal.status(place, main.isMultiUser() ? main.players().online() : 0);
}

} // namespace zanfir
