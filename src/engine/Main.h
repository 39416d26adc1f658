#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/Gatekeeper.h"
#include "engine/Scenes.h"
#include "engine/TurnGate.h"
#include "language/ActionParser.h"
#include "language/CommandTable.h"
#include "runtime/Settings.h"
#include "world/Word.h"
#include "world/World.h"

namespace zanfir {

class Action;
class Adventure;
class Config;
class Context;
class Description;
class FrontEnd;
class IntRef;
class Item;
class LoadListener;
class Loader;
class Location;
class ObjectRef;
class PlayerRegistry;
class Saver;
class StateStore;
class User;

// The engine: the loaded world, the players and their sessions, the state
// that outlives them. It is a facade: each operation forwards to the part
// that does the work.
//
//     World           the tables and their lookups (leaf lock)
//     Loader          reads the definition files into the world
//     CommandTable    parses the action language
//     PlayerRegistry  players, sessions, connections, idle count (first lock)
//     TurnGate        the queue of turns
//     StateStore      where the state is kept; Saver writes it in the background
//     FrontEnd        how players reach the engine (the console, a listener)
//
// Lock order: registration lock, then the Saver's, items' and players'
// locks, then contexts' locks; the world's lock is a leaf.
class Main : public ActionParser {
public:
    static constexpr char OPTIONAL_ITEM_BEGIN = World::OPTIONAL_ITEM_BEGIN;
    static constexpr char OPTIONAL_ITEM_END = World::OPTIONAL_ITEM_END;
    static constexpr int VERB_WORD = Word::VERB_WORD;
    static constexpr int ITEM_WORD = Word::ITEM_WORD;
    static constexpr int ADVERB_WORD = Word::ADVERB_WORD;
    static constexpr const char* ANY_WORD = Word::ANY_WORD;
    static constexpr int DEFAULT_ACTIONSET = World::DEFAULT_ACTIONSET;
    static constexpr int MAP_EMBEDDED_ACTIONSET = World::MAP_EMBEDDED_ACTIONSET;
    static constexpr int INVENTORY_EMBEDDED_ACTIONSET = World::INVENTORY_EMBEDDED_ACTIONSET;

    // Reads the main definition file `name`.zanfa in `path` and registers
    // it as the global definition file. Throws what Config throws.
    Main(const std::string& name, const std::optional<std::string>& path, bool console, bool remote,
         bool multiuser);
    virtual ~Main();
    Main(const Main&) = delete;
    Main& operator=(const Main&) = delete;

    bool isMultiUser() const { return _multiuser; }
    std::string getBaseDir() const;
    bool isDebugEnabled() const { return _debug; }
    void setDebugEnabled(bool flag);
    bool isLogEnabled() const { return _log; }
    void setLogEnabled(bool flag);
    bool isDumpEnabled() const { return _dump; }
    void setDumpEnabled(bool flag);

    // The front-end that players come through; given before start().
    void setFrontEnd(std::shared_ptr<FrontEnd> frontEnd);
    // Where the state is kept: files beside the adventure unless another
    // store is given before start().
    void setStore(std::unique_ptr<StateStore> store);
    StateStore& store() const { return *_store; }

    // Loads the world, starts the front-end and returns when the engine stops.
    void start();
    // Reads the other definition files and builds the world (the first
    // steps of start()); throws what the readers and loaders throw, unless
    // the listener takes the failures.
    void load(LoadListener* listener = nullptr);
    // Stops the engine: start() returns soon after.
    void quit();
    bool isRunning() const { return _running; }
    // Stops the engine cleanly: no new players, every session finishes its
    // command, is told and ends (within the stop timeout), the shared state
    // is saved a last time; then start() returns. From any thread.
    void stop();
    bool isStopping() const { return _stopping; }
    // The introduction and death texts of section BEGINNING, parsed anew at
    // each call; none when the text is empty.
    std::shared_ptr<Description> getIntro();
    std::shared_ptr<Description> getDead();

    // The tables of the adventure and their lookups: names are trimmed and
    // upper-cased (see World).
    World& world() { return _world; }
    const World& world() const { return _world; }
    // The items a scene shows at a place of the state `items`: see Scenes.
    std::shared_ptr<const Scenes::Items> itemsShown(const Context& items, const std::string& place);
    // The lines of the players of such a list, kept with it: see Scenes.
    std::shared_ptr<const Scenes::PlayerLines>
    playerLines(const std::string& place, const std::shared_ptr<const Scenes::Items>& list,
                const std::string& layout, const Scenes::Line& line);

    // The verbs every adventure has, canonical words.
    static const std::vector<std::string>& builtInVerbs();

    // Parses a text of the action language; none for an empty text.
    std::shared_ptr<Action> parseAction(const std::string& text, Action* parent = nullptr) override;

    // Players. Names are compared exactly as stored.
    std::int32_t userFind(const std::string& name);
    bool userExist(const std::string& name);
    bool userVerify(const std::string& name, const std::string& password);
    // Registers a session and returns its player, creating the player when
    // new; the holder receives the context the session plays in. Throws
    // LoginRefusedException when the player cannot log in now.
    std::shared_ptr<User> addAdventure(std::shared_ptr<Adventure> session, ObjectRef& holder,
                                       const std::string& name, const std::string& password);
    // Unregisters a session; in server mode its connection is closed, in
    // console mode the engine stops with its last session.
    void removeAdventure(Adventure& session, Context& ctx);
    // A session's turn: the time it works between two reads.
    void beginTurn();
    void endTurn();
    // How many threads serve the sessions of a front end's fibers.
    int sessionThreads() const;

    // A session waits for input, or no longer does; when every session
    // waits, the shared state is dumped (with -dump).
    void onEnterIdle(Adventure& session);
    void onExitIdle(Adventure& session);
    // Returns once every change made to the shared world so far is durable:
    // a session waits here before it answers its player.
    void awaitDurable();

    const std::string& getName() const { return _name; }
    const std::optional<std::string>& getPath() const { return _path; }
    bool isConsole() const { return _console; }
    bool isRemote() const { return _remote; }
    std::shared_ptr<Context> getGlobalContext() const { return _global_ctx; }
    // The main definition file and its settings.
    const Config& mainFile() const { return *_venture; }
    const Settings& settings() const { return _settings; }
    // The settings of the main file that could not be used, each with why;
    // the log is told them at start().
    const std::vector<std::string>& settingProblems() const { return _setting_problems; }
    // The limits on a server's clients, shared by its front-ends.
    Gatekeeper& gatekeeper() { return *_gatekeeper; }
    // The players logged in now.
    std::size_t playersOnline() const;
    // The file of the shared state: base directory, name, ".gcontext".
    std::string stateFile() const;

protected:
    void waitUntilExit();
    void serialize();
    void deserialize();
    void fillGlobalContext(Context& ctx);
    void fillUserContext(Context& ctx, std::int32_t id);
    void fillDictionary();
    void fillInventory();
    void fillMap();
    void onIdle();
    std::int32_t newUserID();
    void fillActionSet();
    void fillEmbeddedActionSet(const Config& config, int type);
    void fillAction(const std::string& name, const std::string& text, int type,
                    const std::string& owner);
    void fillMessage(const std::string& name, const std::string& text, int type,
                     const std::string& owner);
    void fillEvent(const std::string& name, const std::string& text, int type,
                   const std::string& owner);
    std::string tokenizeEvent(const std::string& declaration, const std::string& part1,
                              const std::string& part2, const std::string& part3,
                              const std::string& location, const std::string& item);

private:
    std::shared_ptr<Description> beginningText(const std::string& name);

    std::string _name;
    std::optional<std::string> _path;
    bool _multiuser;
    bool _remote;
    bool _console;
    bool _debug = false;
    bool _log = false;
    bool _dump = false;
    std::atomic<bool> _running{false};
    std::atomic<bool> _stopping{false};
    std::shared_ptr<Config> _venture;
    Settings _settings;
    std::vector<std::string> _setting_problems;
    std::shared_ptr<Context> _global_ctx;
    // The parts, each after what it uses; the saver, last, is stopped first.
    World _world;
    Scenes _scenes{_world};
    CommandTable _commands{_world};
    std::unique_ptr<Loader> _loader;
    std::unique_ptr<PlayerRegistry> _players;
    std::unique_ptr<Gatekeeper> _gatekeeper;
    static constexpr unsigned TURNS_PER_PROCESSOR = 4; // measured best of 1, 2, 4 and 8
    const int _turn_count;
    TurnGate _turns;
    std::unique_ptr<StateStore> _store;
    std::shared_ptr<FrontEnd> _front_end;
    std::unique_ptr<Saver> _saver;
    std::mutex _run_lock;
    std::condition_variable _run_changed;
};

} // namespace zanfir
