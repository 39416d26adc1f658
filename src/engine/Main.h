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
class ResumeTokens;
class Saver;
class StateStore;
class User;

// The engine: the loaded world, the players and their sessions, the state
// that outlives them. It is a facade that hands out its parts, each of
// which does its own work:
//
//     World           the tables and their lookups (leaf lock)
//     Loader          reads the definition files into the world
//     CommandTable    parses the action language
//     PlayerRegistry  players, sessions, connections, idle count (first lock)
//     TurnGate        the queue of turns
//     Gatekeeper      the limits on clients; ResumeTokens, reloaded pages
//     StateStore      where the state is kept; Saver writes it in the background
//     FrontEnd        how players reach the engine (the console, a listener)
//
// Lock order: registration lock, then the Saver's, items' and players'
// locks, then contexts' locks; the world's lock is a leaf.
class Main : public ActionParser {
public:
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
    // The lists of items each place shows, kept for every player there.
    Scenes& scenes() { return _scenes; }

    // Parses a text of the action language; none for an empty text.
    std::shared_ptr<Action> parseAction(const std::string& text, Action* parent = nullptr) override;

    // The players and their sessions. When every session waits for input,
    // the shared state is dumped (with -dump).
    PlayerRegistry& players() { return *_players; }
    // Unregisters a session; in server mode its connection is closed, in
    // console mode the engine stops with its last session.
    void removeAdventure(Adventure& session, Context& ctx);
    // The queue of turns: a session's turn is the time it works between
    // two reads.
    TurnGate& turns() { return _turns; }
    // How many threads serve the sessions of a front end's fibers.
    int sessionThreads() const;

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
    // The tokens with which reloaded pages take their players up again.
    ResumeTokens& resumeTokens() { return *_resume_tokens; }
    // The file of the shared state: base directory, name, ".gcontext".
    std::string stateFile() const;

protected:
    // The shared world's state written and read (at start-up and at a stop).
    void serialize();
    void deserialize();

private:
    void waitUntilExit();
    void onIdle();
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
    std::unique_ptr<ResumeTokens> _resume_tokens;
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
