#include "engine/PlayerRegistry.h"

#include <climits>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Scenes.h"
#include "language/Description.h"
#include "runtime/Errors.h"
#include "runtime/Fibers.h"
#include "runtime/Log.h"
#include "runtime/Settings.h"
#include "state/Context.h"
#include "state/ref/ObjectRef.h"
#include "util/PasswordHash.h"
#include "util/Util.h"
#include "world/Location.h"
#include "world/StateKeys.h"
#include "world/User.h"
#include "world/World.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main"; // the log names the engine

} // namespace

PlayerRegistry::PlayerRegistry(World& world, ActionParser& parser, std::string start,
                               bool multiuser, const Settings& settings)
    : _world(world), _parser(parser), _start(std::move(start)), _multiuser(multiuser),
      _quote_queue(settings.quote_queue), _quote_queue_bytes(settings.quote_queue_bytes) {}

void PlayerRegistry::adopt(std::shared_ptr<Context> shared) {
    std::lock_guard guard(_lock);
    _shared = std::move(shared);
    // Every scene asks who is in a place and not hidden: the items, players
    // among them, are indexed by place with their hidden flag, so the answer
    // costs the same however many are away, and reads no item's state.
    Scenes::indexItems(*_shared);
    _names.clear();
    std::int32_t highest = 0;
    auto users = _shared->get(StateKeys::USERS);
    if (users && std::holds_alternative<std::shared_ptr<Context>>(*users)) {
        for (const auto& name : std::get<std::shared_ptr<Context>>(*users)->names()) {
            try {
                std::int32_t id = Util::parseInt(name);
                highest = std::max(highest, id);
                auto stored = _shared->getString(StateKeys::userName(id));
                _names.emplace(stored, id);
                _seen.known(Util::toUpper(stored), id);
            } catch (const std::exception&) {
                // not a player: no number, or no name
            }
        }
    }
    _user_id = highest < INT32_MAX ? highest + 1 : INT32_MAX;
}

std::int32_t PlayerRegistry::userFind(const std::string& name) const {
    std::lock_guard guard(_lock);
    if (!_multiuser)
        return 0;
    auto found = _names.find(name);
    return found == _names.end() ? 0 : found->second;
}

bool PlayerRegistry::userVerify(const std::string& name, const std::string& password) const {
    if (!_multiuser)
        return true;
    auto stored = credential(name);
    return stored && PasswordHash::verify(*stored, password);
}

std::optional<std::string> PlayerRegistry::credential(const std::string& name) const {
    std::lock_guard guard(_lock);
    std::int32_t id = userFind(name);
    if (id == 0)
        return std::nullopt;
    try {
        return _shared->getString(StateKeys::userPassword(id));
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        return std::string(); // no password matches it
    }
}

std::int32_t PlayerRegistry::newUserID() {
    std::lock_guard guard(_lock);
    return _user_id++;
}

void PlayerRegistry::fillGlobalContext(Context& ctx) {
    std::lock_guard guard(_lock);
    auto global = std::make_shared<Context>();
    ctx.set(StateKeys::GLOBAL, global);
    ctx.set(StateKeys::USERS, std::make_shared<Context>());
    for (const auto& item : _world.getItems())
        if (!std::dynamic_pointer_cast<User>(item))
            item->init(global.get(), nullptr);
    Scenes::indexItems(ctx); // a world of one's own is indexed as a shared one
}

void PlayerRegistry::fillUserContext(Context& ctx, std::int32_t id) {
    std::lock_guard guard(_lock);
    auto user = std::make_shared<Context>();
    ctx.set(StateKeys::user(id), user);
    for (const auto& item : _world.getItems())
        if (!std::dynamic_pointer_cast<User>(item))
            item->init(nullptr, user.get());
}

void PlayerRegistry::fillPlayer(Context& ctx, std::int32_t id, const std::string& name,
                                const std::string& store) {
    fillUserContext(ctx, id);
    ctx.setString(StateKeys::userName(id), name);
    ctx.setString(StateKeys::userPassword(id), store);
}

std::shared_ptr<Context> PlayerRegistry::newWorld(User& player) {
    auto ctx = std::make_shared<Context>();
    fillGlobalContext(*ctx);
    fillPlayer(*ctx, player.id(), player.descr().text(), "");
    player.init(ctx->nested(StateKeys::GLOBAL).get(),
                ctx->nested(StateKeys::user(player.id())).get());
    return ctx;
}

// A hash takes tens of milliseconds: it is made without the lock, and the
// stored password it was checked against is checked again under the lock.
std::shared_ptr<User> PlayerRegistry::addAdventure(std::shared_ptr<Adventure> session,
                                                   ObjectRef& holder, const std::string& name,
                                                   const std::string& password, bool proven) {
    std::shared_ptr<Adventure> older;
    if (!_multiuser)
        return admit(session, holder, name, std::nullopt, password, older);
    for (;;) {
        auto stored = credential(name);
        std::string store; // a new player's hash, or one for a password kept in clear
        if (proven) {
            if (!stored)
                throw LoginRefusedException(T::ResumeRefused);
        } else if (stored) {
            if (!PasswordHash::verify(*stored, password))
                throw LoginRefusedException(T::WrongPassword, true);
            if (!PasswordHash::isHash(*stored))
                store = PasswordHash::hash(password);
        } else {
            store = PasswordHash::hash(password);
        }
        if (auto player = admit(session, holder, name, stored, store, older))
            return player;
        if (older)
            takeOver(*std::exchange(older, nullptr));
        // else the player was made, or their password changed, meanwhile
    }
}

// The older session ends, telling its client why, and hands the player back.
void PlayerRegistry::takeOver(Adventure& older) {
    older.takeOver();
    std::unique_lock guard(_lock);
    auto gone = [&] {
        for (const auto& [id, registered] : _adventures)
            if (registered.session.get() == &older)
                return false;
        return true;
    };
    // Looked at now and then (a take-over is rare): a fiber's thread stays
    // free for the older session meanwhile.
    auto deadline = std::chrono::steady_clock::now() + TAKE_OVER_WAIT;
    while (!gone()) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw LoginRefusedException(T::AlreadyPlaying);
        guard.unlock();
        Fibers::sleepFor(TAKE_OVER_LOOK);
        guard.lock();
    }
}

std::shared_ptr<User> PlayerRegistry::admit(const std::shared_ptr<Adventure>& session,
                                            ObjectRef& holder, const std::string& name,
                                            const std::optional<std::string>& checked,
                                            const std::string& store,
                                            std::shared_ptr<Adventure>& older) {
    std::lock_guard guard(_lock);
    std::shared_ptr<Context> ctx;
    std::int32_t id = 0;
    std::shared_ptr<Location> location;
    auto setUp = [&] {
        id = newUserID();
        location = _world.getLocation(_start);
        fillPlayer(*ctx, id, name, store);
    };
    if (_multiuser) {
        if (credential(name) != checked)
            return nullptr;
        ctx = _shared;
        id = userFind(name);
        if (id > 0) {
            if (auto playing = _adventures.find(id); playing != _adventures.end()) {
                older = playing->second.session;
                return nullptr;
            }
            if (!store.empty())
                ctx->setString(StateKeys::userPassword(id), store);
            location = knownPlace(*ctx, id, name);
        } else {
            setUp();
            _names[name] = id;
            _seen.known(Util::toUpper(name), id);
        }
    } else {
        ctx = std::make_shared<Context>();
        fillGlobalContext(*ctx);
        setUp();
    }
    std::string itemName = Util::toUpper(name);
    auto player =
        std::make_shared<User>(id, itemName, std::make_shared<Description>(_parser, name));
    player->setQuoteLimits(_quote_queue, _quote_queue_bytes);
    player->initCarried(false);
    player->initHidden(false);
    player->initLocation(location->name());
    player->init(ctx->nested(StateKeys::GLOBAL).get(), ctx->nested(StateKeys::user(id)).get());
    if (_multiuser)
        _seen.answerFor(ctx, id);
    _world.putPlayer(player);
    _adventures[id] = {session, {session->frontEnd(), session->connection()}};
    holder.ref = ctx;
    return player;
}

// A player's place, or the start when the author took that place away.
std::shared_ptr<Location> PlayerRegistry::knownPlace(Context& ctx, std::int32_t id,
                                                     const std::string& name) {
    try {
        return _world.getLocation(ctx.getString(StateKeys::userLocation(id)));
    } catch (const LocationNotFoundException&) {
        Log::writeG(ENTITY, Log::WARN, T::PlayerMovedToBeginning + name + T::QuoteEnd);
    } catch (const TypeMismatchException&) { // a number, say, where the place's name belongs
        Log::writeG(ENTITY, Log::WARN, T::PlayerPlaceNoName + name + T::QuoteEnd);
    }
    return _world.getLocation(_start); // the player's state takes it as they come in
}

PlayerRegistry::Connection PlayerRegistry::removeAdventure(Adventure& session, Context& ctx) {
    std::lock_guard guard(_lock);
    try {
        _world.getItem(session.user()->name());
        // A player of the same name who logged in later keeps the item.
        _world.removePlayer(session.user());
        session.user()->deleteAll(session, ctx);
    } catch (const ItemNotFoundException& missing) {
        Log::writeG(ENTITY, Log::WARN, missing);
    }
    auto registered = _adventures.find(session.userID());
    if (registered == _adventures.end() || registered->second.session.get() != &session)
        return {};
    Connection connection = registered->second.connection;
    _adventures.erase(registered);
    return connection;
}

bool PlayerRegistry::isEmpty() const {
    std::lock_guard guard(_lock);
    return _adventures.empty();
}

std::size_t PlayerRegistry::known() const {
    std::lock_guard guard(_lock);
    return _names.size();
}

std::size_t PlayerRegistry::online() const {
    std::lock_guard guard(_lock);
    return _adventures.size();
}

void PlayerRegistry::onEnterIdle() {
    std::lock_guard guard(_lock);
    if (++_idle_adventures == static_cast<std::int32_t>(_adventures.size()) && _on_idle)
        _on_idle();
}

void PlayerRegistry::onExitIdle() {
    std::lock_guard guard(_lock);
    --_idle_adventures;
}

} // namespace zanfir
