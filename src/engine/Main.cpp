#include "engine/Main.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/FrontEnd.h"
#include "engine/PlayerRegistry.h"
#include "engine/ResumeTokens.h"
#include "language/Description.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/Context.h"
#include "state/JsonFileStore.h"
#include "state/Saver.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/Item.h"
#include "world/Loader.h"
#include "world/Location.h"
#include "world/StateKeys.h"
#include "world/User.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main";
constexpr const char* BEGINNING = "BEGINNING";

} // namespace

Main::Main(const std::string& name, const std::optional<std::string>& path, bool console,
           bool remote, bool multiuser)
    : _name(Util::toLower(Util::trim(name))), _path(path), _multiuser(multiuser), _remote(remote),
      _console(console),
      _turn_count(static_cast<int>(TURNS_PER_PROCESSOR *
                                   std::max(1u, std::thread::hardware_concurrency()))),
      _turns(_turn_count) {
    _venture = std::make_shared<Config>(path, _name + ".zanfa");
    Config::setGlobalConfig(_venture);
    _settings = Settings::read(*_venture, &_setting_problems);
    if (_settings.title.empty())
        _settings.title = _name;
    _loader = std::make_unique<Loader>(_world, *this, *_venture, _name, multiuser);
    _players = std::make_unique<PlayerRegistry>(_world, *this, _venture->get("LOCATION", BEGINNING),
                                                multiuser, _settings);
    _players->setOnIdle([this] { onIdle(); });
    _gatekeeper = std::make_unique<Gatekeeper>(_settings);
    _resume_tokens = std::make_unique<ResumeTokens>(_settings.web_resume);
    setStore(std::make_unique<JsonFileStore>(getBaseDir(), _name));
}

// The program itself ends without destroying the engine; this serves the
// tests, which build many engines: the saver writes what is pending first.
Main::~Main() = default;

void Main::setFrontEnd(std::shared_ptr<FrontEnd> frontEnd) {
    _front_end = std::move(frontEnd);
}

void Main::setStore(std::unique_ptr<StateStore> store) {
    _saver.reset();
    _store = std::move(store);
    _saver = std::make_unique<Saver>(
        *_store, [this] { return _global_ctx->clone(); }, _settings.checkpoint_interval,
        _settings.journal_limit);
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
        _store->lockShared();
        deserialize();
        if (!_global_ctx) {
            _global_ctx = std::make_shared<Context>();
            _players->fillGlobalContext(*_global_ctx);
            _players->adopt(_global_ctx);
        }
        // At once: it folds in the journal just made again, and a server
        // that cannot save its world says so before anybody plays.
        serialize();
        _store->follow(*_global_ctx);
        _saver->start();
    }
}

void Main::start() {
    for (const auto& problem : _setting_problems)
        Log::writeG(ENTITY, Log::WARN, problem);
    load();
    {
        std::lock_guard guard(_run_lock);
        if (_stopping)
            return; // stopped while loading
        _running = true;
    }
    if (_front_end)
        _front_end->start();
    waitUntilExit();
}

void Main::stop() {
    if (_stopping.exchange(true))
        return;
    Log::writeG(ENTITY, Log::INFO, T::Stopping);
    auto began = std::chrono::steady_clock::now();
    std::size_t playing = _multiuser ? _players->online() : 0;
    if (_front_end)
        _front_end->stop(_settings.stop_timeout);
    _saver->finish(); // the last checkpoint
    Log::writeG(ENTITY, Log::INFO, T::Stopped);
    if (_front_end) { // the host learns that all is saved, and how long it took
        char took[32];
        std::snprintf(
            took, sizeof took, "%.2f",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        std::string line = T::StoppedIn + Util::replace(took, ".", ",").value_or(took) + " s";
        if (_multiuser)
            line += T::StoppedWorld + std::to_string(_players->known()) + T::StoppedPlayers +
                    std::to_string(playing) + T::StoppedPlaying;
        std::cout << line << "." << std::endl;
    }
    quit();
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
    if (text.empty())
        return nullptr;
    auto description = std::make_shared<Description>(*this, text);
    description->setPlace({_name + ".zanfa", _venture->line(name, BEGINNING), BEGINNING, name});
    return description;
}

std::shared_ptr<Description> Main::getIntro() {
    return beginningText("INTRO");
}

std::shared_ptr<Description> Main::getDead() {
    return beginningText("DEAD");
}

// ---- The action language ----

std::shared_ptr<Action> Main::parseAction(const std::string& text, Action* parent) {
    return _commands.parseAction(text, parent);
}

// ---- Players ----

void Main::removeAdventure(Adventure& session, Context& ctx) {
    auto connection = _players->removeAdventure(session, ctx);
    if (_remote) {
        if (connection.front_end)
            connection.front_end->close(connection.id);
    } else if (_players->isEmpty()) {
        quit();
    }
}

// As many as there are turns: a session in its turn may wait too (for a
// lock, for the journal's sync).
int Main::sessionThreads() const {
    return _turn_count;
}

// ---- Shared state ----

// Called with every session idle, under the registration lock: the state is
// consistent now.
void Main::onIdle() {
    if (_multiuser && _dump)
        Util::contextDump(*_global_ctx, std::cerr, _settings.row_length);
}

std::string Main::stateFile() const {
    return JsonFileStore(getBaseDir(), _name).sharedFile();
}

void Main::serialize() {
    if (_multiuser && _global_ctx)
        _store->checkpoint([this] { return _global_ctx->clone(); });
}

void Main::deserialize() {
    if (!_multiuser)
        return;
    if (auto saved = _store->loadShared()) {
        // A world without its items' state cannot be played; the file stays
        // as it is, for its host to look at.
        auto global = saved->get(StateKeys::GLOBAL);
        if (!global || !std::holds_alternative<std::shared_ptr<Context>>(*global))
            throw SerializationException(T::StateWithoutGlobal + stateFile() + T::QuoteEnd);
        _global_ctx = saved;
        _players->adopt(saved);
    }
}

} // namespace zanfir
