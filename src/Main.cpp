#include "Main.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <iostream>

#include "FrontEnd.h"
#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Loader.h"
#include "adventure/Location.h"
#include "adventure/User.h"
#include "common/Config.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Log.h"
#include "common/Util.h"
#include "common/ref/ObjectRef.h"
#include "exception/ItemNotFoundException.h"
#include "exception/LoginRefusedException.h"
#include "exception/SerializationException.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main";
constexpr const char* BEGINNING = "BEGINNING";

} // namespace

Main::Main(const std::string& name, const std::optional<std::string>& path, bool console,
           bool remote, bool multiuser)
    : _name(Util::toLower(Util::trim(name))), _path(path), _multiuser(multiuser), _remote(remote),
      _console(console) {
    _venture = std::make_shared<Config>(path, _name + ".zanfa");
    Config::setGlobalConfig(_venture);
    _settings = Settings::read(*_venture);
    _loader = std::make_unique<Loader>(_world, *this, *_venture, _name, multiuser);
}

Main::~Main() {
    // The program itself ends without destroying the engine; this serves
    // the tests, which build many engines: pending saves are written first.
    {
        std::lock_guard save(_save_lock);
        _save_stop = true;
    }
    _save_changed.notify_all();
    if (_saver.joinable())
        _saver.join();
}

std::string Main::getBaseDir() const {
    return _venture->getBaseDir();
}

void Main::setDebugEnabled(bool flag) {
    Debug::setGlobalDebug(flag ? std::make_shared<Debug>() : nullptr);
    _debug = flag;
}

void Main::setLogEnabled(bool flag) {
    std::shared_ptr<Log> log;
    if (flag) {
        log = std::make_shared<Log>(getBaseDir() + _settings.log_path, _settings.log_crlf);
        log->setLevel(_settings.log_level);
    }
    Log::setGlobalLog(log);
    _log = flag;
}

void Main::setDumpEnabled(bool flag) {
    _dump = flag;
}

// ---- Run ----

void Main::load(LoadListener* listener) {
    Log::writeG(ENTITY, Log::INFO, T::Initialization);
    _loader->load(listener);
    if (_multiuser) {
        deserialize();
        if (!_global_ctx) {
            _global_ctx = std::make_shared<Context>();
            fillGlobalContext(*_global_ctx);
        }
    }
}

void Main::start() {
    load();
    _running = true;
    if (_front_end)
        _front_end->start();
    waitUntilExit();
}

void Main::quit() {
    {
        std::lock_guard guard(_run_lock);
        _running = false;
    }
    _run_changed.notify_all();
}

void Main::waitUntilExit() {
    std::unique_lock guard(_run_lock);
    while (_running)
        _run_changed.wait_for(guard, std::chrono::seconds(1));
}

std::shared_ptr<Description> Main::beginningText(const std::string& name) {
    std::string text = _venture->get(name, BEGINNING);
    return text.empty() ? nullptr : std::make_shared<Description>(*this, text);
}

std::shared_ptr<Description> Main::getIntro() {
    return beginningText("INTRO");
}

std::shared_ptr<Description> Main::getDead() {
    return beginningText("DEAD");
}

// ---- World lookups ----

std::shared_ptr<Location> Main::getLocation(const std::string& name) const {
    return _world.getLocation(name);
}

std::shared_ptr<Item> Main::getItem(const std::string& name) const {
    return _world.getItem(name);
}

bool Main::existItem(const std::string& name) const {
    return _world.existItem(name);
}

std::shared_ptr<User> Main::getUser(const std::string& name) const {
    return _world.getUser(name);
}

std::vector<std::shared_ptr<Item>> Main::getItems() const {
    return _world.getItems();
}

std::vector<std::shared_ptr<Item>> Main::getItems(const std::vector<std::string>& names) const {
    return _world.getItems(names);
}

std::shared_ptr<Description> Main::getMessage(const std::string& name) const {
    return _world.getMessage(name);
}

std::shared_ptr<Description> Main::getEvent(const std::string& key) const {
    return _world.getEvent(key);
}

std::shared_ptr<Action> Main::getAction(const std::string& location,
                                        const std::string& rest) const {
    return _world.getAction(location, rest);
}

bool Main::hasBindings(const std::string& entity, const std::string& verb, int words) const {
    return _world.hasBindings(entity, verb, words);
}

std::shared_ptr<Action> Main::parseAction(const std::string& text, Action* parent) {
    return _commands.parseAction(text, parent);
}

// ---- Dictionary ----

std::shared_ptr<Word> Main::getVerb(const std::string& word) {
    return _world.getVerb(word);
}

std::shared_ptr<Word> Main::getWord(const std::string& word) {
    return _world.getWord(word);
}

std::string Main::blankIfIgnorable(const std::string& word) const {
    return _world.blankIfIgnorable(word);
}

bool Main::isVerbWord(const std::string& word) const {
    return _world.isVerbWord(word);
}

bool Main::isItemWord(const std::string& word) const {
    return _world.isItemWord(word);
}

bool Main::isAdverbWord(const std::string& word) const {
    return _world.isAdverbWord(word);
}

int Main::getWordKind(const std::string& word) const {
    return _world.getWordKind(word);
}

std::optional<std::string> Main::resolveSynonym(const std::string& word, int kind) const {
    return _world.resolveSynonym(word, kind);
}

const std::vector<std::string>& Main::builtInVerbs() {
    return World::builtInVerbs();
}

std::string Main::tokenizeAction(const std::string& declaration) {
    return _world.tokenizeAction(declaration);
}

std::string Main::tokenizeAction(const std::string& declaration, IntRef* mask) {
    return _world.tokenizeAction(declaration, mask);
}

std::string Main::tokenizeAction(const std::string& declaration, IntRef* mask, int type,
                                 const std::string& owner) {
    return _world.tokenizeAction(declaration, mask, type, owner);
}

// ---- Loading ----

void Main::fillDictionary() {
    _loader->fillDictionary();
}

void Main::fillInventory() {
    _loader->fillInventory();
}

void Main::fillMap() {
    _loader->fillMap();
}

void Main::fillActionSet() {
    _loader->fillActionSet();
}

void Main::fillEmbeddedActionSet(const Config& config, int type) {
    _loader->fillEmbeddedActionSet(config, type);
}

void Main::fillAction(const std::string& name, const std::string& text, int type,
                      const std::string& owner) {
    _loader->fillAction(name, text, type, owner);
}

void Main::fillMessage(const std::string& name, const std::string& text, int type,
                       const std::string& owner) {
    _loader->fillMessage(name, text, type, owner);
}

void Main::fillEvent(const std::string& name, const std::string& text, int type,
                     const std::string& owner) {
    _loader->fillEvent(name, text, type, owner);
}

std::string Main::tokenizeEvent(const std::string& declaration, const std::string& part1,
                                const std::string& part2, const std::string& part3,
                                const std::string& location, const std::string& item) {
    return _loader->tokenizeEvent(declaration, part1, part2, part3, location, item);
}

// ---- Shared state ----

// No virtual call here: the saver thread asks it while an engine of the
// tests may be half destroyed.
std::string Main::stateFile() const {
    return Config::getBaseDirG() + _name + ".gcontext";
}

void Main::serialize() {
    if (!_multiuser || !_global_ctx)
        return;
    _global_ctx->serialize(stateFile());
}

void Main::deserialize() {
    if (!_multiuser)
        return;
    std::string file = stateFile();
    Context::removeLeftovers(file);
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return;
    auto context = Context::deserialize(file);
    auto users = context->get("USER");
    if (!users || !std::holds_alternative<std::shared_ptr<Context>>(*users))
        throw SerializationException(T::NotAContextFile + file + T::QuoteEnd);
    std::int32_t highest = 0;
    for (const auto& id : std::get<std::shared_ptr<Context>>(*users)->names()) {
        try {
            highest = std::max(highest, Util::parseInt(id));
        } catch (const std::exception&) {
        }
    }
    _global_ctx = context;
    _user_id = highest < INT32_MAX ? highest + 1 : INT32_MAX;
}

void Main::fillGlobalContext(Context& ctx) {
    std::lock_guard guard(_lock);
    auto global = std::make_shared<Context>();
    ctx.set("GLOBAL", global);
    ctx.set("USER", std::make_shared<Context>());
    for (const auto& item : getItems())
        if (!std::dynamic_pointer_cast<User>(item))
            item->init(this, global.get(), nullptr);
}

void Main::fillUserContext(Context& ctx, std::int32_t id) {
    std::lock_guard guard(_lock);
    auto user = std::make_shared<Context>();
    ctx.set("USER." + std::to_string(id), user);
    for (const auto& item : getItems())
        if (!std::dynamic_pointer_cast<User>(item))
            item->init(this, nullptr, user.get());
}

// ---- Players ----

std::int32_t Main::userFind(const std::string& name) {
    if (!_multiuser || !_global_ctx)
        return 0;
    auto users = _global_ctx->get("USER");
    if (!users || !std::holds_alternative<std::shared_ptr<Context>>(*users))
        return 0;
    auto& table = *std::get<std::shared_ptr<Context>>(*users);
    for (const auto& id : table.names()) {
        try {
            std::int32_t number = Util::parseInt(id);
            if (table.getString(id + ".NAME") == name)
                return number;
        } catch (const std::exception&) {
        }
    }
    return 0;
}

bool Main::userExist(const std::string& name) {
    return userFind(name) > 0;
}

bool Main::userVerify(const std::string& name, const std::string& password) {
    if (!_multiuser)
        return true;
    std::int32_t id = userFind(name);
    if (id == 0)
        return false;
    try {
        return _global_ctx->getString("USER." + std::to_string(id) + ".PASSWORD") == password;
    } catch (const std::exception& error) {
        Log::writeG(ENTITY, Log::WARN, error);
        return false;
    }
}

std::int32_t Main::newUserID() {
    std::lock_guard guard(_lock);
    return _user_id++;
}

std::shared_ptr<User> Main::addAdventure(std::shared_ptr<Adventure> session, ObjectRef& holder,
                                         const std::string& name, const std::string& password) {
    std::lock_guard guard(_lock);
    std::shared_ptr<Context> ctx;
    std::int32_t id = 0;
    std::shared_ptr<Location> location;
    auto setUp = [&] {
        id = newUserID();
        location = getLocation(_venture->get("LOCATION", BEGINNING));
        fillUserContext(*ctx, id);
        ctx->setString("USER." + std::to_string(id) + ".NAME", name);
        ctx->setString("USER." + std::to_string(id) + ".PASSWORD", password);
    };
    if (_multiuser) {
        ctx = _global_ctx;
        id = userFind(name);
        if (id > 0) {
            if (_adventures.count(id))
                throw LoginRefusedException(T::AlreadyPlaying);
            // Another session may have created the player meanwhile.
            if (!userVerify(name, password))
                throw LoginRefusedException(T::WrongPassword);
            location = getLocation(ctx->getString("USER." + std::to_string(id) + ".LOCATION"));
        } else {
            setUp();
        }
    } else {
        ctx = std::make_shared<Context>();
        fillGlobalContext(*ctx);
        setUp();
    }
    std::string itemName = Util::toUpper(name);
    auto player = std::make_shared<User>(id, itemName, std::make_shared<Description>(*this, name));
    player->initCarried(false);
    player->initHidden(false);
    player->initLocation(location->name());
    auto global = std::get<std::shared_ptr<Context>>(*ctx->get("GLOBAL"));
    auto mine = std::get<std::shared_ptr<Context>>(*ctx->get("USER." + std::to_string(id)));
    player->init(this, global.get(), mine.get());
    _world.putPlayer(player);
    _adventures[id] = std::move(session);
    holder.ref = ctx;
    return player;
}

void Main::removeAdventure(Adventure& session, Context& ctx) {
    std::lock_guard guard(_lock);
    std::int32_t id = session.userID();
    std::string itemName = Util::toUpper(session.userName());
    try {
        getItem(itemName);
        // Another session may play a player of the same name: its entries stay.
        _world.removePlayer(session.user());
        session.user()->deleteAll(session, ctx);
    } catch (const ItemNotFoundException& missing) {
        Log::writeG(ENTITY, Log::WARN, missing);
    }
    auto registered = _adventures.find(id);
    if (registered != _adventures.end() && registered->second.get() == &session)
        _adventures.erase(registered);
    if (_remote) {
        if (FrontEnd* front = session.frontEnd())
            front->close(session.connection());
    } else if (_adventures.empty()) {
        quit();
    }
}

void Main::beginTurn() {
    std::unique_lock guard(_turn_lock);
    if (_turn_free > 0 && _turn_queue.empty()) {
        --_turn_free;
        return;
    }
    TurnWaiter waiter;
    _turn_queue.push_back(&waiter);
    waiter.ready.wait(guard, [&] { return waiter.go; });
}

void Main::endTurn() {
    std::lock_guard guard(_turn_lock);
    if (_turn_queue.empty()) {
        ++_turn_free;
        return;
    }
    // The turn passes straight to the first in the queue.
    TurnWaiter* next = _turn_queue.front();
    _turn_queue.pop_front();
    next->go = true;
    next->ready.notify_one();
}

void Main::onEnterIdle(Adventure&) {
    std::lock_guard guard(_lock);
    if (++_idle_adventures == static_cast<std::int32_t>(_adventures.size()))
        onIdle();
}

void Main::onExitIdle(Adventure&) {
    std::lock_guard guard(_lock);
    --_idle_adventures;
}

void Main::onIdle() {
    if (!_multiuser)
        return;
    std::lock_guard guard(_lock);
    snapshot();
    if (_dump && _global_ctx)
        Util::contextDump(*_global_ctx, std::cerr, _settings.row_length);
}

// Called with every session idle, under the engine's lock: the state is
// consistent now. At most one snapshot is taken per SAVE_INTERVAL; one that
// comes too soon is left to the saver, which takes it at the first idle
// moment after the interval, so the latest state always reaches the file.
void Main::snapshot() {
    auto now = std::chrono::steady_clock::now();
    std::lock_guard save(_save_lock);
    if (!_saver.joinable())
        _saver = std::thread([this] { saveLoop(); });
    if (now - _last_snapshot < _save_interval && !_save_stop) {
        _save_wanted = true;
    } else {
        _save_text = _global_ctx->toText();
        _last_snapshot = now;
        _save_wanted = false;
        // Snapshots of a large world come less often: sessions wait while
        // one is taken.
        _save_interval =
            std::max(SAVE_INTERVAL, 10 * std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - now));
    }
    _save_changed.notify_all();
}

void Main::saveLoop() {
    std::unique_lock save(_save_lock);
    for (;;) {
        if (_save_text) {
            std::string text = std::move(*_save_text);
            _save_text.reset();
            save.unlock();
            try {
                Context::writeText(stateFile(), text);
            } catch (const std::exception& error) {
                Log::writeG(ENTITY, Log::FAIL, error);
                Debug::traceStackG(error);
            }
            save.lock();
        } else if (_save_wanted && (_save_stop || std::chrono::steady_clock::now() >=
                                                      _last_snapshot + _save_interval)) {
            save.unlock();
            {
                std::lock_guard engine(_lock);
                if (_idle_adventures == static_cast<std::int32_t>(_adventures.size()))
                    snapshot();
            }
            save.lock();
            if (_save_stop && !_save_text)
                return;
            if (!_save_text)
                _save_changed.wait(save); // busy now: the next idle moment takes it
        } else if (_save_stop) {
            return;
        } else if (_save_wanted) {
            _save_changed.wait_until(save, _last_snapshot + _save_interval);
        } else {
            _save_changed.wait(save);
        }
    }
}

} // namespace zanfir
