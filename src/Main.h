#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>

namespace zanfir {

class Action;
class Adventure;
class Config;
class Context;
class Description;
class Item;
class Location;
class Remote;
class Word;

// The engine: owns the loaded world, the sessions and the players.
class Main {
public:
    static constexpr char ACTION_BEGIN = '{';
    static constexpr char ACTION_BREAK = ';';
    static constexpr char ACTION_END = '}';
    static constexpr char OPTIONAL_ITEM_BEGIN = '[';
    static constexpr char OPTIONAL_ITEM_END = ']';
    static constexpr int VERB_WORD = 1;
    static constexpr int ITEM_WORD = 2;
    static constexpr int ADVERB_WORD = 3;
    static constexpr const char* ANY_WORD = "*";
    static constexpr int DEFAULT_ACTIONSET = 0;
    static constexpr int MAP_EMBEDDED_ACTIONSET = 1;
    static constexpr int INVENTORY_EMBEDDED_ACTIONSET = 2;

    // Reads the main definition file `name`.zanfa in `path` and registers
    // it as the global definition file. Throws what Config throws.
    Main(const std::string& name, const std::optional<std::string>& path, bool console, bool remote,
         bool multiuser);
    virtual ~Main();
    Main(const Main&) = delete;
    Main& operator=(const Main&) = delete;

    virtual bool isMultiUser() const { return _multiuser; }
    virtual std::string getBaseDir() const;
    virtual bool isDebugEnabled() const { return _debug; }
    virtual void setDebugEnabled(bool flag);
    virtual bool isLogEnabled() const { return _log; }
    virtual void setLogEnabled(bool flag);
    virtual bool isDumpEnabled() const { return _dump; }
    virtual void setDumpEnabled(bool flag);

    // Loads the world, runs the sessions and returns when the engine stops.
    virtual void start();

    const std::string& getName() const { return _name; }
    const std::optional<std::string>& getPath() const { return _path; }
    bool isConsole() const { return _console; }
    bool isRemote() const { return _remote; }

private:
    template <class Value>
    using Table = std::unordered_map<std::string, Value>;

    std::string _name;
    std::optional<std::string> _path;
    bool _multiuser;
    bool _remote;
    bool _console;
    bool _debug = false;
    bool _log = false;
    bool _dump = false;
    std::atomic<bool> _running{false};
    std::shared_ptr<Context> _global_ctx;
    std::int32_t _user_id = 1;
    std::unordered_map<std::int32_t, std::shared_ptr<Adventure>> _adventures;
    std::shared_ptr<Remote> _remote_mgr;
    std::int32_t _idle_adventures = 0;
    std::shared_ptr<Config> _venture;
    std::shared_ptr<Config> _map;
    std::shared_ptr<Config> _dictionary;
    std::shared_ptr<Config> _inventory;
    std::shared_ptr<Config> _actionset;
    Table<std::string> _ignore_words;
    Table<std::string> _verb_words;
    Table<std::string> _item_words;
    Table<std::string> _adverb_words;
    Table<std::shared_ptr<Location>> _locations;
    Table<std::shared_ptr<Word>> _verbs;
    Table<std::shared_ptr<Word>> _words;
    Table<std::shared_ptr<Item>> _items;
    Table<std::shared_ptr<Action>> _actions;
    Table<std::shared_ptr<Description>> _messages;
    Table<std::shared_ptr<Description>> _events;

    // Registration of players, the idle count and the save of the shared
    // state; then the world tables, a leaf lock.
    mutable std::recursive_mutex _lock;
    mutable std::shared_mutex _tables_lock;
};

} // namespace zanfir
