#include "Main.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "T.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/User.h"
#include "adventure/Word.h"
#include "adventure/action/MultiAction.h"
#include "common/Config.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Log.h"
#include "common/Util.h"
#include "exception/ActionSyntaxException.h"
#include "exception/ConfigNotFoundException.h"
#include "exception/ItemNotFoundException.h"
#include "exception/LocationNotFoundException.h"
#include "exception/MessageNotFoundException.h"
#include "exception/SerializationException.h"
#include "exception/TypeMismatchException.h"
#include "exception/VerbNotFoundException.h"
#include "exception/WordNotFoundException.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main";
constexpr const char* BEGINNING = "BEGINNING";

const char* const BUILT_IN_VERBS[] = {Word::NORTH, Word::SOUTH, Word::EAST, Word::WEST, Word::UP,
                                      Word::DOWN,  Word::LOAD,  Word::SAVE, Word::QUIT, Word::WHAT,
                                      Word::TAKE,  Word::DROP,  Word::LOOK, Word::WAIT, Word::TELL};

std::string normalise(const std::string& name) {
    return Util::toUpper(Util::trim(name));
}

bool isTrue(const std::string& value) {
    return Util::equalsIgnoreCase(value, "TRUE");
}

// The elements of a comma-separated list, trimmed and upper-cased; empty
// elements are skipped.
std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> elements;
    std::size_t start = 0;
    for (;;) {
        auto comma = list.find(',', start);
        auto element = normalise(list.substr(start, comma - start));
        if (!element.empty())
            elements.push_back(std::move(element));
        if (comma == std::string::npos)
            return elements;
        start = comma + 1;
    }
}

// Sections holding bindings, messages and events, not items or locations.
bool isEmbeddedSection(const std::string& name) {
    return name == "ACTIONS" || name == "MESSAGES" || name == "EVENTS" ||
           name.find('/') != std::string::npos;
}

// Each section name once, in file order, leaving out embedded sections and
// the top level.
std::vector<std::string> definitionSections(const Config& config) {
    std::vector<std::string> names;
    for (const auto& name : config.sections())
        if (!name.empty() && !isEmbeddedSection(name) &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    return names;
}

// The commands of an action text: ";" ends a command, a braced block ends
// the command it closes. Throws for a "{" without its "}".
std::vector<std::string> splitCommands(const std::string& text) {
    std::vector<std::string> commands;
    std::string current;
    auto end = [&] {
        auto command = Util::trim(current);
        if (!command.empty())
            commands.push_back(std::move(command));
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == Main::ACTION_BREAK) {
            end();
        } else if (c == Main::ACTION_BEGIN) {
            long close = Util::matchBracket(text, i);
            if (close < 0)
                throw Exception(T::UnbalancedBrackets);
            current.append(text, i, static_cast<std::size_t>(close) - i + 1);
            end();
            i = static_cast<std::size_t>(close);
        } else {
            current += c;
        }
    }
    end();
    return commands;
}

} // namespace

Main::Main(const std::string& name, const std::optional<std::string>& path, bool console,
           bool remote, bool multiuser)
    : _name(Util::toLower(Util::trim(name))), _path(path), _multiuser(multiuser), _remote(remote),
      _console(console) {
    _venture = std::make_shared<Config>(path, _name + ".zanfa");
    Config::setGlobalConfig(_venture);
}

Main::~Main() = default;

std::string Main::getBaseDir() const {
    return Config::getBaseDirG();
}

void Main::setDebugEnabled(bool flag) {
    Debug::setGlobalDebug(flag ? std::make_shared<Debug>() : nullptr);
    _debug = flag;
}

void Main::setLogEnabled(bool flag) {
    std::shared_ptr<Log> log;
    if (flag) {
        log = std::make_shared<Log>(Config::getGD("LogPath", "logs"),
                                    isTrue(Config::getGD("LogCRLF", "TRUE")));
        log->setLevel(Config::getGD("LogLevel", "INFO"));
    }
    Log::setGlobalLog(log);
    _log = flag;
}

void Main::setDumpEnabled(bool flag) {
    _dump = flag;
}

// ---- Run ----

void Main::load() {
    Log::writeG(ENTITY, Log::INFO, T::Initialization);
    _map = std::make_shared<Config>(_name + ".map");
    _dictionary = std::make_shared<Config>(_name + ".dictionary");
    _inventory = std::make_shared<Config>(_name + ".inventory");
    try {
        _actionset = std::make_shared<Config>(_name + ".actionset");
    } catch (const ConfigNotFoundException& missing) {
        Log::writeG(ENTITY, Log::WARN, missing);
    }
    fillDictionary();
    fillInventory();
    fillMap();
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
    std::string text = Config::getG(name, BEGINNING);
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
    std::string key = normalise(name);
    std::shared_lock guard(_tables_lock);
    auto found = _locations.find(key);
    if (found == _locations.end())
        throw LocationNotFoundException(key);
    return found->second;
}

std::shared_ptr<Item> Main::getItem(const std::string& name) const {
    std::string key = normalise(name);
    std::shared_lock guard(_tables_lock);
    auto found = _items.find(key);
    if (found == _items.end())
        throw ItemNotFoundException(key);
    return found->second;
}

bool Main::existItem(const std::string& name) const {
    std::string key = normalise(name);
    std::shared_lock guard(_tables_lock);
    return _items.count(key) > 0;
}

std::shared_ptr<User> Main::getUser(const std::string& name) const {
    auto user = std::dynamic_pointer_cast<User>(getItem(name));
    if (!user)
        throw TypeMismatchException(normalise(name));
    return user;
}

std::vector<std::shared_ptr<Item>> Main::getItems() const {
    std::shared_lock guard(_tables_lock);
    std::vector<std::shared_ptr<Item>> items;
    items.reserve(_items.size());
    for (const auto& entry : _items)
        items.push_back(entry.second);
    return items;
}

std::shared_ptr<Description> Main::getMessage(const std::string& name) const {
    std::string key = normalise(name);
    std::shared_lock guard(_tables_lock);
    auto found = _messages.find(key);
    if (found == _messages.end())
        throw MessageNotFoundException(key);
    return found->second;
}

std::shared_ptr<Description> Main::getEvent(const std::string& key) const {
    std::string normal = normalise(key);
    std::shared_lock guard(_tables_lock);
    auto found = _events.find(normal);
    return found == _events.end() ? nullptr : found->second;
}

// ---- Action parser ----

std::shared_ptr<Action> Main::parseAction(const std::string& text, Action* parent) {
    std::string body = Util::trim(text);
    if (!body.empty() && body.front() == ACTION_BEGIN) {
        long close = Util::matchBracket(body, 0);
        if (close < 0)
            throw Exception(T::UnbalancedBrackets);
        body = Util::trim(body.substr(1, static_cast<std::size_t>(close) - 1));
    }
    if (body.empty())
        return nullptr;
    auto commands = splitCommands(body);
    std::shared_ptr<Action> result;
    if (commands.size() > 1) {
        auto sequence = std::make_shared<MultiAction>();
        for (const auto& command : commands)
            sequence->addAction(parseAction(command, sequence.get()));
        result = sequence;
    } else if (commands.size() == 1) {
        result = parseCommand(commands.front());
    }
    if (result)
        result->setParent(parent);
    return result;
}

std::shared_ptr<Action> Main::parseCommand(const std::string& command) {
    try {
        throw ActionSyntaxException(command, T::CantRecognizeCommand);
    } catch (const std::exception& error) {
        throw ActionSyntaxException(command, error.what());
    }
}

// ---- Dictionary ----

std::shared_ptr<Word> Main::getVerb(const std::string& word) {
    std::string key = normalise(word);
    std::unique_lock guard(_tables_lock);
    auto found = _verbs.find(key);
    if (found != _verbs.end())
        return found->second;
    if (!_verb_words.count(key))
        throw VerbNotFoundException(key);
    return _verbs[key] = std::make_shared<Word>(key, VERB_WORD);
}

std::shared_ptr<Word> Main::getWord(const std::string& word) {
    std::string key = normalise(word);
    std::unique_lock guard(_tables_lock);
    auto found = _words.find(key);
    if (found != _words.end())
        return found->second;
    int kind = _item_words.count(key) ? ITEM_WORD : _adverb_words.count(key) ? ADVERB_WORD : 0;
    if (kind == 0)
        throw WordNotFoundException(key);
    return _words[key] = std::make_shared<Word>(key, kind);
}

std::string Main::blankIfIgnorable(const std::string& word) const {
    std::shared_lock guard(_tables_lock);
    return _ignore_words.count(word) ? "" : word;
}

bool Main::isVerbWord(const std::string& word) const {
    std::shared_lock guard(_tables_lock);
    return _verb_words.count(word) > 0;
}

bool Main::isItemWord(const std::string& word) const {
    std::shared_lock guard(_tables_lock);
    return _item_words.count(word) > 0;
}

bool Main::isAdverbWord(const std::string& word) const {
    std::shared_lock guard(_tables_lock);
    return _adverb_words.count(word) > 0;
}

int Main::getWordKind(const std::string& word) const {
    return isItemWord(word) ? ITEM_WORD : isAdverbWord(word) ? ADVERB_WORD : 0;
}

std::optional<std::string> Main::resolveSynonym(const std::string& word, int kind) const {
    const Table<std::string>* table = kind == VERB_WORD     ? &_verb_words
                                      : kind == ITEM_WORD   ? &_item_words
                                      : kind == ADVERB_WORD ? &_adverb_words
                                                            : nullptr;
    if (!table)
        return std::nullopt;
    std::shared_lock guard(_tables_lock);
    std::string current = word;
    // Every canonical word maps to itself; the bound only guards a table
    // that a bug left cyclic.
    for (std::size_t steps = 0; steps <= table->size(); ++steps) {
        auto found = table->find(current);
        if (found == table->end())
            break;
        if (found->second == current)
            return current;
        current = found->second;
    }
    if (kind == VERB_WORD)
        throw VerbNotFoundException(word);
    throw WordNotFoundException(word);
}

void Main::putWords(Table<std::string>& table, const std::string& section) {
    for (const auto& name : _dictionary->variables(section)) {
        for (const auto& synonym : splitList(_dictionary->get(name, section)))
            table[synonym] = name;
        table[name] = name;
    }
}

void Main::fillDictionary() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingDictionary);
    std::unique_lock guard(_tables_lock);
    for (const auto& name : _dictionary->variables("IGNORE")) {
        _ignore_words[name] = "";
        for (const auto& word : splitList(_dictionary->get(name, "IGNORE")))
            _ignore_words[word] = "";
    }
    putWords(_verb_words, "VERBS");
    putWords(_item_words, "ITEMS");
    putWords(_adverb_words, "ADVERBS");
    for (const char* verb : BUILT_IN_VERBS)
        _verb_words[verb] = verb;
}

// ---- Inventory and map ----

std::shared_ptr<Description> Main::describe(const std::string& text, const std::string& name) {
    return std::make_shared<Description>(
        *this, text.empty() ? Util::QUOTE + Util::toLower(name) + Util::QUOTE : text);
}

void Main::fillInventory() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingInventory);
    for (const auto& name : definitionSections(*_inventory)) {
        const Config& file = *_inventory;
        bool visible = isTrue(file.getD("VISIBLE", name, "TRUE"));
        bool carriable = visible && isTrue(file.getD("CARRIABLE", name, "TRUE"));
        auto look = file.get("LOOK-DESCR", name);
        auto first = file.get("FIRST-DESCR", name);
        auto item = std::make_shared<Item>(name, describe(file.get("DESCR", name), name),
                                           look.empty() ? nullptr : describe(look, name),
                                           first.empty() ? nullptr : describe(first, name), visible,
                                           carriable);
        if (isTrue(file.getD("CARRIED", name, "FALSE"))) {
            if (!_multiuser) {
                item->initCarried(true);
            } else {
                item->initLocation(Config::getG("LOCATION", BEGINNING));
                Log::writeG(ENTITY, Log::WARN,
                            T::CarriedObjectMovedToBeginning + name +
                                T::CarriedObjectMovedToBeginningX);
            }
        }
        item->initHidden(isTrue(file.getD("HIDDEN", name, "FALSE")));
        std::unique_lock guard(_tables_lock);
        for (const auto& synonym : splitList(file.get("SYNONYMS", name)))
            _item_words[synonym] = name;
        _item_words[name] = name;
        _items[name] = item;
    }
}

void Main::fillMap() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingMap);
    for (const auto& name : definitionSections(*_map)) {
        const Config& file = *_map;
        for (const auto& element : splitList(file.get("ITEMS", name))) {
            if (existItem(element)) {
                getItem(element)->initLocation(name);
                continue;
            }
            auto item = std::make_shared<Item>(element, describe("", element), nullptr, nullptr,
                                               false, false);
            item->initLocation(name);
            item->initHidden(false);
            std::unique_lock guard(_tables_lock);
            _items[element] = item;
            _item_words[element] = element;
        }
        auto longText = file.get("LONG-DESCR", name);
        Location::Exits exits{file.get("NORTH", name), file.get("SOUTH", name),
                              file.get("EAST", name),  file.get("WEST", name),
                              file.get("UP", name),    file.get("DOWN", name)};
        auto location = std::make_shared<Location>(
            name, describe(file.get("DESCR", name), name),
            longText.empty() ? nullptr : describe(longText, name), std::move(exits));
        std::unique_lock guard(_tables_lock);
        _locations[name] = location;
    }
}

// ---- Shared state ----

std::string Main::stateFile() const {
    return getBaseDir() + _name + ".gcontext";
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

} // namespace zanfir
