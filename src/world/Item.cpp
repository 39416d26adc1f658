#include "world/Item.h"

#include "engine/Adventure.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "world/Location.h"
#include "world/StateKeys.h"
#include "world/User.h"

namespace zanfir {

// Lock order: an item's lock, then contexts. The player's own location is
// read before the item is locked, so that two items (a player being one)
// are never locked at once.

Item::Item(std::string name, std::shared_ptr<Description> descr,
           std::shared_ptr<Description> lookDescr, std::shared_ptr<Description> firstDescr,
           bool visible, bool carriable)
    : _name(std::move(name)), _descr(std::move(descr)), _look_descr(std::move(lookDescr)),
      _first_descr(std::move(firstDescr)), _visible(visible), _carriable(carriable) {}

std::string Item::locationName(Context& ctx) {
    std::lock_guard guard(_lock);
    return ctx.getString(StateKeys::itemLocation(_name));
}

std::shared_ptr<Location> Item::getLocation(Adventure& adv, Context& ctx) {
    std::string name = locationName(ctx);
    return name.empty() ? nullptr : adv.location(name);
}

void Item::setLocation(Adventure&, Context& ctx, const Location& loc) {
    std::lock_guard guard(_lock);
    ctx.setString(StateKeys::itemLocation(_name), loc.name());
}

bool Item::takeUp(Adventure& adv, Context& ctx) {
    auto here = adv.getLocation();
    std::lock_guard guard(_lock);
    if (!here || ctx.getString(StateKeys::itemLocation(_name)) != here->name() ||
        ctx.getBoolean(StateKeys::itemHidden(_name)))
        return false;
    ctx.setString(StateKeys::itemLocation(_name), "");
    ctx.setBoolean(StateKeys::inventory(adv.userID(), _name), true);
    return true;
}

bool Item::dropDown(Adventure& adv, Context& ctx) {
    auto here = adv.getLocation();
    std::lock_guard guard(_lock);
    if (!isCarried(adv, ctx))
        return false;
    dropAt(adv, ctx, here ? here->name() : "");
    return true;
}

bool Item::handTo(Adventure& adv, Context& ctx, int receiver) {
    std::lock_guard guard(_lock);
    if (!isCarried(adv, ctx))
        return false;
    ctx.setBoolean(StateKeys::inventory(adv.userID(), _name), false);
    ctx.setBoolean(StateKeys::inventory(receiver, _name), true);
    return true;
}

bool Item::moveTo(Adventure&, Context& ctx, const Location& loc) {
    std::lock_guard guard(_lock);
    if (ctx.getString(StateKeys::itemLocation(_name)).empty())
        return false;
    ctx.setString(StateKeys::itemLocation(_name), loc.name());
    return true;
}

void Item::dropAt(Adventure& adv, Context& ctx, const std::string& location) {
    std::lock_guard guard(_lock);
    ctx.setBoolean(StateKeys::inventory(adv.userID(), _name), false);
    ctx.setString(StateKeys::itemLocation(_name), location);
}

void Item::deleteAll(Adventure&, Context& ctx) {
    std::lock_guard guard(_lock);
    ctx.remove(StateKeys::item(_name));
}

bool Item::isSeen(Adventure& adv, Context& ctx) {
    std::lock_guard guard(_lock);
    return ctx.getBoolean(StateKeys::seenItem(adv.userID(), _name));
}

void Item::setSeen(Adventure& adv, Context& ctx, bool seen) {
    std::lock_guard guard(_lock);
    ctx.setBoolean(StateKeys::seenItem(adv.userID(), _name), seen);
}

bool Item::isOwned(Adventure&, Context& ctx) {
    return locationName(ctx).empty();
}

bool Item::isHidden(Adventure&, Context& ctx) {
    std::lock_guard guard(_lock);
    return ctx.getBoolean(StateKeys::itemHidden(_name));
}

void Item::setHidden(Adventure& adv, Context& ctx, bool hidden) {
    auto here = hidden ? adv.getLocation() : nullptr;
    std::lock_guard guard(_lock);
    if (!hidden) {
        ctx.setBoolean(StateKeys::itemHidden(_name), false);
        return;
    }
    if (isCarried(adv, ctx))
        dropAt(adv, ctx, here ? here->name() : "");
    if (locationName(ctx).empty())
        throw ItemNotOwnedException(_name);
    ctx.setBoolean(StateKeys::itemHidden(_name), true);
}

bool Item::isPresent(Adventure& adv, Context& ctx) {
    return isCarried(adv, ctx) || isHere(adv, ctx);
}

bool Item::isHere(Adventure& adv, Context& ctx) {
    auto here = adv.getLocation();
    std::string name = locationName(ctx);
    return here && !name.empty() && here->name() == name;
}

bool Item::isCarried(Adventure& adv, Context& ctx) {
    std::lock_guard guard(_lock);
    return ctx.getBoolean(StateKeys::inventory(adv.userID(), _name));
}

bool Item::isUser(Adventure&, Context&) const {
    return false;
}

bool Item::isMyself(Adventure&, Context&) const {
    return false;
}

void Item::initCarried(bool carried) {
    _init_carried = carried;
    if (carried) {
        _init_location.clear();
        _init_hidden = false;
    }
}

void Item::initHidden(bool hidden) {
    _init_hidden = hidden;
    if (hidden)
        _init_carried = false;
}

void Item::initLocation(const std::string& location) {
    _init_location = location;
    if (!location.empty())
        _init_carried = false;
}

void Item::init(Context* global, Context* user) {
    std::lock_guard guard(_lock);
    if (global) {
        global->setString(StateKeys::inGlobalItemLocation(_name), _init_location);
        global->setBoolean(StateKeys::inGlobalItemHidden(_name), _init_hidden);
    }
    if (user) {
        user->setBoolean(StateKeys::inUserInventory(_name), _init_carried);
        user->setBoolean(StateKeys::inUserSeenItem(_name), _init_carried);
    }
}

} // namespace zanfir
