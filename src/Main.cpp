#include "Main.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <functional>
#include <iostream>

#include "FrontEnd.h"
#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/User.h"
#include "adventure/Word.h"
#include "adventure/action/ActionRef.h"
#include "adventure/action/Die.h"
#include "adventure/action/IfElse.h"
#include "adventure/action/IfThen.h"
#include "adventure/action/ItemDrop.h"
#include "adventure/action/ItemGoTo.h"
#include "adventure/action/ItemHide.h"
#include "adventure/action/ItemTake.h"
#include "adventure/action/Load.h"
#include "adventure/action/Look.h"
#include "adventure/action/Move.h"
#include "adventure/action/MsgPrint.h"
#include "adventure/action/MultiAction.h"
#include "adventure/action/Pause.h"
#include "adventure/action/Quit.h"
#include "adventure/action/Save.h"
#include "adventure/action/Tell.h"
#include "adventure/action/VarInc.h"
#include "adventure/action/VarSet.h"
#include "adventure/action/Wait.h"
#include "adventure/action/What.h"
#include "common/Config.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Expression.h"
#include "common/Log.h"
#include "common/Util.h"
#include "common/ref/IntRef.h"
#include "common/ref/ObjectRef.h"
#include "exception/ActionDeclarationException.h"
#include "exception/ActionSyntaxException.h"
#include "exception/ConfigNotFoundException.h"
#include "exception/EventDeclarationException.h"
#include "exception/ItemNotFoundException.h"
#include "exception/LocationNotFoundException.h"
#include "exception/LoginRefusedException.h"
#include "exception/MessageDeclarationException.h"
#include "exception/MessageNotFoundException.h"
#include "exception/SerializationException.h"
#include "exception/TypeMismatchException.h"
#include "exception/VerbNotFoundException.h"
#include "exception/WordNotFoundException.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main";
constexpr const char* BEGINNING = "BEGINNING";

std::string normalise(const std::string& name) {
    return Util::toUpper(Util::trim(name));
}

bool isTrue(const std::string& value) {
    return Util::equalsIgnoreCase(value, "TRUE");
}

// Sections holding bindings, messages and events, not items or locations.
bool isEmbeddedSection(const std::string& name) {
    return name == "ACTIONS" || name == "MESSAGES" || name == "EVENTS" ||
           name.find('/') != std::string::npos;
}

} // namespace

std::vector<std::string> Main::splitList(const std::string& list) {
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

std::vector<std::string> Main::definitionSections(const Config& config) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const auto& name : config.sections())
        if (!name.empty() && !isEmbeddedSection(name) && seen.insert(name).second)
            names.push_back(name);
    return names;
}

namespace {

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

// The action classes a command may name by their qualified class name.
std::shared_ptr<Action> instantiate(const std::string& name) {
    static const std::string package = "com.brisolcorp.zanfir.adventure.action.";
    static const std::unordered_map<std::string, std::function<std::shared_ptr<Action>()>>
        registry = [] {
            std::unordered_map<std::string, std::function<std::shared_ptr<Action>()>> table;
            auto add = [&]<class Kind>(const char* simple, Kind*) {
                table[package + simple] = [] { return std::make_shared<Kind>(); };
            };
            add("ActionRef", static_cast<ActionRef*>(nullptr));
            add("Die", static_cast<Die*>(nullptr));
            add("IfElse", static_cast<IfElse*>(nullptr));
            add("IfThen", static_cast<IfThen*>(nullptr));
            add("ItemDrop", static_cast<ItemDrop*>(nullptr));
            add("ItemGoTo", static_cast<ItemGoTo*>(nullptr));
            add("ItemHide", static_cast<ItemHide*>(nullptr));
            add("ItemTake", static_cast<ItemTake*>(nullptr));
            add("Load", static_cast<Load*>(nullptr));
            add("Look", static_cast<Look*>(nullptr));
            add("Move", static_cast<Move*>(nullptr));
            add("MsgPrint", static_cast<MsgPrint*>(nullptr));
            add("MultiAction", static_cast<MultiAction*>(nullptr));
            add("Pause", static_cast<Pause*>(nullptr));
            add("Quit", static_cast<Quit*>(nullptr));
            add("Save", static_cast<Save*>(nullptr));
            add("Tell", static_cast<Tell*>(nullptr));
            add("VarInc", static_cast<VarInc*>(nullptr));
            add("VarSet", static_cast<VarSet*>(nullptr));
            add("Wait", static_cast<Wait*>(nullptr));
            add("What", static_cast<What*>(nullptr));
            return table;
        }();
    auto found = registry.find(name);
    if (found == registry.end())
        throw Exception(T::CantFindClass);
    return found->second();
}

// Milliseconds of a number of seconds, which may have a fraction; below 0
// is 0 and beyond the 32-bit range the largest value.
std::int32_t milliseconds(const std::string& seconds) {
    double value = 0;
    auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
    if (seconds.empty() || error != std::errc() || end != seconds.data() + seconds.size() ||
        std::isnan(value))
        throw Exception(T::CantGetSecs);
    double ms = std::trunc(value * 1000);
    return ms <= 0 ? 0 : ms >= INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(ms);
}

// The item or message before the first "." of a command, which must not
// be empty.
std::string nameBeforeDot(const std::string& command, const char* reason) {
    std::string name = Util::trim(command.substr(0, command.find('.')));
    if (name.empty())
        throw Exception(reason);
    return name;
}

} // namespace

Main::Main(const std::string& name, const std::optional<std::string>& path, bool console,
           bool remote, bool multiuser)
    : _name(Util::toLower(Util::trim(name))), _path(path), _multiuser(multiuser), _remote(remote),
      _console(console) {
    _venture = std::make_shared<Config>(path, _name + ".zanfa");
    Config::setGlobalConfig(_venture);
    _settings = Settings::read(*_venture);
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
    fillActionSet();
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
    return _item_list;
}

std::vector<std::shared_ptr<Item>> Main::getItems(const std::vector<std::string>& names) const {
    std::vector<std::shared_ptr<Item>> items;
    {
        std::shared_lock guard(_tables_lock);
        for (const auto& name : names)
            if (auto found = _items.find(name); found != _items.end())
                items.push_back(found->second);
    }
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a->order() < b->order(); });
    return items;
}

void Main::putItem(const std::shared_ptr<Item>& item) {
    static std::atomic<std::uint64_t> arrivals{0};
    item->setOrder(++arrivals);
    std::unique_lock guard(_tables_lock);
    auto& slot = _items[item->name()];
    if (slot)
        std::erase(_item_list, slot);
    slot = item;
    _item_list.push_back(item);
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

std::shared_ptr<Action> Main::parseCommand(const std::string& c) {
    try {
        return recogniseCommand(c);
    } catch (const std::exception& error) {
        throw ActionSyntaxException(c, error.what());
    }
}

std::shared_ptr<Action> Main::recogniseCommand(const std::string& c) {
    const std::string l = Util::toLower(c);
    auto noParameters = [&](std::shared_ptr<Action> action, std::size_t length) {
        if (l.size() > length)
            throw Exception(T::ParamsNotExpected);
        return action;
    };
    auto at = [&](const char* keyword) {
        auto found = l.find(keyword);
        return found != std::string::npos && found > 0;
    };
    if (l.starts_with("@")) {
        auto ref = std::make_shared<ActionRef>();
        ref->setRef(tokenizeAction(Util::toUpper(c.substr(1))));
        return ref;
    }
    if (l.starts_with("die"))
        return noParameters(std::make_shared<Die>(), 3);
    if (l.starts_with("end")) {
        auto die = std::make_shared<Die>();
        die->setEndOnly(true);
        return noParameters(die, 3);
    }
    if (l.starts_with("sleep")) {
        auto wait = std::make_shared<Wait>();
        wait->setSilent(true);
        wait->setMillisec(milliseconds(Util::trim(c.substr(5))));
        return wait;
    }
    if (l.starts_with("pause"))
        return noParameters(std::make_shared<Pause>(), 5);
    if (l.starts_with("if")) {
        auto open = c.find(Expression::OP_BRA, 2);
        if (open == std::string::npos)
            throw Exception(T::ExpressionSyntaxError);
        long close = Util::matchBracket(c, open);
        if (close < 0)
            throw Exception(T::UnbalancedBrackets);
        std::string expression = Util::trim(c.substr(open, close - open + 1));
        std::string rest = Util::trim(c.substr(close + 1));
        if (expression.empty() || rest.empty())
            throw Exception(T::CantGetExprOrAction);
        auto condition = std::make_shared<IfThen>();
        condition->setExpression(expression);
        condition->setThenAction(parseAction(rest, condition.get()));
        return condition;
    }
    if (l.starts_with("else")) {
        std::string rest = Util::trim(c.substr(4));
        if (rest.empty())
            throw Exception(T::CantGetAction);
        auto otherwise = std::make_shared<IfElse>();
        otherwise->setElseAction(parseAction(rest, otherwise.get()));
        return otherwise;
    }
    if (l.starts_with("print")) {
        auto print = std::make_shared<MsgPrint>();
        bool line = l.starts_with("println");
        print->setLineFeed(line);
        std::string rest = c.substr(line ? 7 : 5);
        std::size_t start = 0;
        for (std::size_t plus;; start = plus + 1) {
            plus = rest.find('+', start);
            std::string piece = Util::trim(rest.substr(start, plus - start));
            if (!piece.empty())
                print->addString(piece);
            if (plus == std::string::npos)
                break;
        }
        return print;
    }
    if (auto go = l.find("goto"); go != std::string::npos) {
        auto move = std::make_shared<ItemGoTo>();
        std::string location = Util::trim(c.substr(go + 4));
        if (location.empty())
            throw Exception(T::CantGetLocation);
        move->setLocation(location);
        auto dot = c.find('.');
        if (dot != std::string::npos && dot > 0 && dot < go)
            move->setItem(Util::trim(c.substr(0, dot)));
        return move;
    }
    if (at(".gohere")) {
        auto move = std::make_shared<ItemGoTo>();
        move->setItem(nameBeforeDot(c, T::CantGetItem));
        return move;
    }
    if (at(".hide") || at(".unhide")) {
        auto hide = std::make_shared<ItemHide>();
        hide->setItem(nameBeforeDot(c, T::CantGetItem));
        hide->setHide(at(".hide"));
        return hide;
    }
    if (at(".take")) {
        auto take = std::make_shared<ItemTake>();
        take->setItem(nameBeforeDot(c, T::CantGetItem));
        take->setSilent(true);
        return take;
    }
    if (at(".drop")) {
        auto drop = std::make_shared<ItemDrop>();
        drop->setItem(nameBeforeDot(c, T::CantGetItem));
        drop->setSilent(true);
        return drop;
    }
    if (at(".print") || at(".exec")) {
        auto print = std::make_shared<MsgPrint>();
        print->setMessage(nameBeforeDot(c, T::CantGetMsgName));
        print->setSilent(!at(".print"));
        return print;
    }
    for (const auto& [step, text] : {std::pair{1, "++"}, std::pair{-1, "--"}}) {
        auto found = l.find(text);
        if (found != std::string::npos && found == l.size() - 2) {
            std::string variable = Util::trim(c.substr(0, found));
            if (variable.empty())
                throw Exception(T::CantGetVarName);
            auto increment = std::make_shared<VarInc>();
            increment->setVariable(variable);
            increment->setDelta(step);
            return increment;
        }
    }
    if (auto eq = l.find('='); eq != std::string::npos && eq > 0 && eq + 1 < l.size()) {
        std::string variable = Util::trim(c.substr(0, eq));
        std::string value = Util::trim(c.substr(eq + 1));
        if (variable.empty() || value.empty())
            throw Exception(T::CantGetVarNameOrValue);
        auto assign = std::make_shared<VarSet>();
        assign->setVariable(variable);
        std::string lower = Util::toLower(value);
        if (lower.starts_with("ask")) {
            assign->setAsk(true);
            value = Util::trim(value.substr(3));
        } else if (lower.starts_with("random")) {
            assign->setRandom(true);
            value = Util::trim(value.substr(6));
        }
        assign->setValue(value);
        return assign;
    }
    if (at("."))
        return instantiate(c);
    throw ActionSyntaxException(c, T::CantRecognizeCommand);
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

const std::vector<std::string>& Main::builtInVerbs() {
    static const std::vector<std::string> verbs{Word::NORTH, Word::SOUTH, Word::EAST, Word::WEST,
                                                Word::UP,    Word::DOWN,  Word::LOAD, Word::SAVE,
                                                Word::QUIT,  Word::WHAT,  Word::TAKE, Word::DROP,
                                                Word::LOOK,  Word::WAIT,  Word::TELL};
    return verbs;
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
    for (const auto& verb : builtInVerbs())
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
        putItem(item);
        std::unique_lock guard(_tables_lock);
        for (const auto& synonym : splitList(file.get("SYNONYMS", name)))
            _item_words[synonym] = name;
        _item_words[name] = name;
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
            putItem(item);
            std::unique_lock guard(_tables_lock);
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

// ---- Action sets, messages and events ----

void Main::bind(const std::string& key, std::shared_ptr<Action> action) {
    auto parts = Util::split(key, ':');
    std::unique_lock guard(_tables_lock);
    _actions[key] = std::move(action);
    _binding_shapes.insert(parts[0] + ":" + parts[1] + ":" + std::to_string(parts.size() - 2));
}

std::shared_ptr<Action> Main::getAction(const std::string& location,
                                        const std::string& rest) const {
    std::string key = normalise(location) + ":" + normalise(rest);
    std::shared_lock guard(_tables_lock);
    auto found = _actions.find(key);
    return found == _actions.end() ? nullptr : found->second;
}

bool Main::hasBindings(const std::string& entity, const std::string& verb, int words) const {
    std::string shape = normalise(entity) + ":" + verb + ":" + std::to_string(words);
    std::shared_lock guard(_tables_lock);
    return _binding_shapes.count(shape) > 0;
}

void Main::fillActionSet() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingActionSet);
    auto move = std::make_shared<Move>();
    for (const char* direction :
         {Word::NORTH, Word::SOUTH, Word::EAST, Word::WEST, Word::UP, Word::DOWN})
        bind(std::string("*:") + direction, move);
    bind("*:CARICA", std::make_shared<Load>());
    bind("*:SALVA", std::make_shared<Save>());
    bind("*:BASTA", std::make_shared<Quit>());
    auto look = std::make_shared<Look>();
    bind("*:GUARDA", look);
    bind("*:GUARDA:*", look);
    bind("*:PRENDI:*", std::make_shared<ItemTake>());
    bind("*:LASCIA:*", std::make_shared<ItemDrop>());
    bind("*:COSA", std::make_shared<What>());
    auto wait = std::make_shared<Wait>();
    wait->setMillisec(500);
    bind("*:ATTENDI", wait);
    auto tell = std::make_shared<Tell>();
    bind("*:PARLA", tell);
    bind("*:PARLA:*", tell);
    fillEmbeddedActionSet(*_map, MAP_EMBEDDED_ACTIONSET);
    fillEmbeddedActionSet(*_inventory, INVENTORY_EMBEDDED_ACTIONSET);
    if (_actionset)
        fillEmbeddedActionSet(*_actionset, DEFAULT_ACTIONSET);
}

void Main::fillEmbeddedActionSet(const Config& config, int type) {
    bool topLevelRead = false;
    for (const auto& section : config.sections()) {
        if (section.empty() || section.find('/') != std::string::npos)
            continue;
        std::string owner;
        int kind = type;
        if (isEmbeddedSection(section)) {
            if (topLevelRead)
                continue;
            topLevelRead = true;
            kind = DEFAULT_ACTIONSET;
        } else {
            owner = section;
        }
        std::string prefix = owner.empty() ? "" : owner + "/";
        for (const auto& name : config.variables(prefix + "ACTIONS"))
            fillAction(name, config.get(name, prefix + "ACTIONS"), kind, owner);
        for (const auto& name : config.variables(prefix + "MESSAGES"))
            fillMessage(name, config.get(name, prefix + "MESSAGES"), kind, owner);
        for (const auto& name : config.variables(prefix + "EVENTS"))
            fillEvent(name, config.get(name, prefix + "EVENTS"), kind, owner);
    }
}

void Main::fillAction(const std::string& name, const std::string& text, int type,
                      const std::string& owner) {
    IntRef mask;
    std::string key = tokenizeAction(name, &mask, type, owner);
    auto action = std::make_shared<Description>(*this, text, true);
    action->setItemCheckMask(mask.ref);
    bind(key, action);
}

std::string Main::tokenizeAction(const std::string& declaration) {
    return tokenizeAction(declaration, nullptr);
}

std::string Main::tokenizeAction(const std::string& declaration, IntRef* mask) {
    return tokenizeAction(declaration, mask, DEFAULT_ACTIONSET, "");
}

std::string Main::tokenizeAction(const std::string& declaration, IntRef* mask, int type,
                                 const std::string& owner) {
    auto parts = Util::split(declaration, ':');
    for (auto& part : parts) {
        part = normalise(part);
        if (part.empty()) // also a blank between two ":"
            throw ActionDeclarationException(declaration);
    }
    const bool located = type == MAP_EMBEDDED_ACTIONSET;
    if (parts.size() < (located ? 1u : 2u))
        throw ActionDeclarationException(declaration);
    std::string location = located ? owner : parts[0];
    std::size_t next = located ? 1 : 2;
    std::string key = location + ":" + *resolveSynonym(parts[next - 1], VERB_WORD);
    int bits = 0, index = 0;
    auto requireItem = [&] {
        if (index < 31)
            bits |= 1 << index;
    };
    for (; next < parts.size(); ++next) {
        std::string part = parts[next];
        bool optional = part.size() >= 2 && part.front() == OPTIONAL_ITEM_BEGIN &&
                        part.back() == OPTIONAL_ITEM_END;
        if (optional) {
            part = normalise(part.substr(1, part.size() - 2));
            if (part.empty())
                throw ActionDeclarationException(declaration);
        }
        if (part == ANY_WORD) {
            ++index; // "*" stands for an item of the phrase: bits follow the phrase's items
        } else if (int kind = getWordKind(part)) {
            part = *resolveSynonym(part, kind);
            if (kind == ITEM_WORD) {
                if (!optional)
                    requireItem();
                ++index;
            }
        } else {
            Log::writeG(ENTITY, Log::WARN, T::UnknownBindingWord + part + T::QuoteEnd);
        }
        key += ":" + part;
    }
    if (type == INVENTORY_EMBEDDED_ACTIONSET) {
        key += ":" + (isItemWord(owner) ? *resolveSynonym(owner, ITEM_WORD) : owner);
        requireItem();
    }
    if (mask)
        mask->ref = bits;
    return key;
}

void Main::fillMessage(const std::string& name, const std::string& text, int, const std::string&) {
    std::string key = normalise(name);
    {
        std::shared_lock guard(_tables_lock);
        if (_messages.count(key))
            throw MessageDeclarationException(key);
    }
    auto message = std::make_shared<Description>(*this, text);
    std::unique_lock guard(_tables_lock);
    _messages[key] = message;
}

void Main::fillEvent(const std::string& name, const std::string& text, int type,
                     const std::string& owner) {
    std::string declaration = normalise(name);
    auto handler = std::make_shared<Description>(*this, text);
    auto parts = Util::split(declaration, ':');
    auto words = Util::split(parts[0], '-');
    if (words.size() < 2 || words.size() > 3)
        throw EventDeclarationException(declaration);
    for (auto& word : words)
        word = normalise(word);
    const std::string& part1 = words[0];
    if (part1 != "ITEM" && part1 != "LOCATION" && part1 != "COMMAND") {
        Log::writeG(ENTITY, Log::WARN, T::UnknownEventType + declaration + T::QuoteEnd);
        return;
    }
    auto partAt = [&](std::size_t i) { return i < parts.size() ? normalise(parts[i]) : ""; };
    std::string location, item;
    if (type == MAP_EMBEDDED_ACTIONSET) {
        location = owner;
        item = partAt(1);
    } else if (type == INVENTORY_EMBEDDED_ACTIONSET) {
        item = owner;
        location = partAt(1);
    } else if (part1 == "ITEM") {
        item = partAt(1);
        location = partAt(2);
    } else if (part1 == "LOCATION") {
        location = partAt(1);
        item = partAt(2);
    }
    std::string key = tokenizeEvent(declaration, part1, words[1], words.size() > 2 ? words[2] : "",
                                    location, item);
    std::unique_lock guard(_tables_lock);
    if (_events.count(key))
        throw EventDeclarationException(key);
    _events[key] = handler;
}

std::string Main::tokenizeEvent(const std::string& declaration, const std::string& part1,
                                const std::string& part2, const std::string& part3,
                                const std::string& location, const std::string& item) {
    std::string type = part1 + "-" + part2 + (part3.empty() ? "" : "-" + part3);
    if (part1 == "COMMAND")
        return type;
    auto need = [&](const std::string& value) {
        if (value.empty())
            throw EventDeclarationException(declaration);
    };
    if (part1 == "ITEM") {
        need(item);
        if (part2 == "LOCATION") {
            need(location);
            return type + ":" + item + ":" + location;
        }
        return type + ":" + item;
    }
    need(location);
    if (part2 == "ITEM") {
        need(item);
        return type + ":" + location + ":" + item;
    }
    return type + ":" + location;
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
        location = getLocation(Config::getG("LOCATION", BEGINNING));
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
    putItem(player);
    {
        std::unique_lock tables(_tables_lock);
        _item_words[itemName] = itemName;
    }
    _adventures[id] = std::move(session);
    holder.ref = ctx;
    return player;
}

void Main::removeAdventure(Adventure& session, Context& ctx) {
    std::lock_guard guard(_lock);
    std::int32_t id = session.userID();
    std::string itemName = Util::toUpper(session.userName());
    try {
        auto item = getItem(itemName);
        // Another session may play a player of the same name: its entries stay.
        if (item == session.user()) {
            std::unique_lock tables(_tables_lock);
            _items.erase(itemName);
            std::erase(_item_list, item);
            _item_words.erase(itemName);
        }
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
