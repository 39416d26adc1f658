#include "world/User.h"

#include "engine/Adventure.h"
#include "engine/SeenPlayers.h"
#include "state/Context.h"
#include "world/Location.h"
#include "world/Quote.h"
#include "world/StateKeys.h"

namespace zanfir {

User::User(int id, std::string name, std::shared_ptr<Description> descr)
    : Item(name, std::move(descr), nullptr, nullptr, true, false), _user_id(id),
      _user_name(std::move(name)) {}

void User::putQuote(std::shared_ptr<User> from, const std::string& text) {
    std::lock_guard guard(_lock);
    _quotes.push_back(std::make_shared<Quote>(std::move(from), text));
    _quote_bytes += text.size();
    while (_quotes.size() > _max_quotes || _quote_bytes > _max_quote_bytes) {
        _quote_bytes -= _quotes.front()->text().size();
        _quotes.pop_front();
    }
    if (_listener)
        _listener();
}

void User::putNotice(const std::string& text) {
    putQuote(nullptr, text);
}

void User::listen(std::function<void()> listener) {
    std::lock_guard guard(_lock);
    _listener = std::move(listener);
}

void User::setQuoteLimits(std::size_t count, std::size_t bytes) {
    std::lock_guard guard(_lock);
    _max_quotes = count;
    _max_quote_bytes = bytes;
}

std::shared_ptr<Quote> User::getQuote() {
    std::lock_guard guard(_lock);
    if (_quotes.empty())
        return nullptr;
    auto quote = std::move(_quotes.front());
    _quotes.pop_front();
    _quote_bytes -= quote->text().size();
    return quote;
}

bool User::isLocationSeen(Adventure&, Context& ctx, const Location& loc) {
    std::lock_guard guard(_lock);
    return ctx.getBoolean(StateKeys::seenLocation(_user_id, loc.name()));
}

void User::setLocationSeen(Adventure&, Context& ctx, const Location& loc, bool seen) {
    std::lock_guard guard(_lock);
    ctx.setBoolean(StateKeys::seenLocation(_user_id, loc.name()), seen);
}

// A flag stored on its own by an older build still counts.
bool User::isSeen(Adventure& adv, Context& ctx) {
    return SeenPlayers::has(ctx, adv.userID(), _user_id) || Item::isSeen(adv, ctx);
}

void User::setSeen(Adventure& adv, Context& ctx, bool seen) {
    if (seen) {
        SeenPlayers::add(ctx, adv.userID(), {_user_id});
        return;
    }
    SeenPlayers::remove(ctx, adv.userID(), _user_id);
    std::lock_guard guard(_lock);
    ctx.remove(StateKeys::seenItem(adv.userID(), name()));
}

std::shared_ptr<Location> User::getLocation(Adventure& adv, Context& ctx) {
    std::string name;
    {
        std::lock_guard guard(_lock);
        name = ctx.getString(StateKeys::userLocation(_user_id));
    }
    return name.empty() ? nullptr : adv.location(name);
}

void User::setLocation(Adventure& adv, Context& ctx, const Location& loc) {
    std::lock_guard guard(_lock);
    Item::setLocation(adv, ctx, loc);
    ctx.setString(StateKeys::userLocation(_user_id), loc.name());
}

bool User::moveTo(Adventure& adv, Context& ctx, const Location& loc) {
    std::lock_guard guard(_lock);
    if (!Item::moveTo(adv, ctx, loc))
        return false;
    ctx.setString(StateKeys::userLocation(_user_id), loc.name());
    return true;
}

void User::init(Context* global, Context* user) {
    Item::init(global, user);
    std::lock_guard guard(_lock);
    if (global)
        global->setBoolean(StateKeys::inGlobalItemUser(name()), true);
    if (user)
        user->setString(StateKeys::inUserLocation(), initialLocation());
}

bool User::isUser(Adventure&, Context&) const {
    return true;
}

bool User::isMyself(Adventure& adv, Context&) const {
    return _user_id == adv.userID();
}

} // namespace zanfir
