#include "tools/Checker.h"

#include <algorithm>
#include <deque>
#include <regex>

#include "T.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/action/ActionRef.h"
#include "adventure/action/IfElse.h"
#include "adventure/action/IfThen.h"
#include "adventure/action/ItemDrop.h"
#include "adventure/action/ItemGoTo.h"
#include "adventure/action/ItemHide.h"
#include "adventure/action/ItemTake.h"
#include "adventure/action/MsgPrint.h"
#include "adventure/action/MultiAction.h"
#include "common/Config.h"
#include "common/Util.h"
#include "exception/ConfigNotFoundException.h"
#include "exception/Exception.h"

namespace zanfir {

namespace {

const char* const EVENT_TYPES[] = {"COMMAND-PROMPT-ENTER",
                                   "COMMAND-PROMPT-EXIT",
                                   "COMMAND-DO",
                                   "COMMAND-UNKNOWN",
                                   "ITEM-TAKE",
                                   "ITEM-DROP",
                                   "ITEM-HIDE",
                                   "ITEM-UNHIDE",
                                   "ITEM-SEEN",
                                   "LOCATION-ENTER",
                                   "LOCATION-EXIT",
                                   "LOCATION-SEEN",
                                   "ITEM-LOCATION-ENTER",
                                   "ITEM-LOCATION-EXIT",
                                   "LOCATION-ITEM-ENTER",
                                   "LOCATION-ITEM-EXIT"};
const char* const EXITS[] = {"NORTH", "SOUTH", "EAST", "WEST", "UP", "DOWN"};

std::string place(const std::string& file, const std::string& section,
                  const std::string& variable = "") {
    std::string where = file;
    if (!section.empty())
        where += " [" + section + "]";
    if (!variable.empty())
        where += " " + variable;
    return where;
}

std::string quoted(const char* text, const std::string& name) {
    return text + name + T::QuoteEnd;
}

} // namespace

Checker::Checker(const std::string& name, const std::optional<std::string>& path)
    : Main(name, path, true, false, false) {}

int Checker::errors() const {
    int count = 0;
    for (const auto& finding : _findings)
        count += finding.error;
    return count;
}

int Checker::notes() const {
    return static_cast<int>(_findings.size()) - errors();
}

void Checker::error(const std::string& where, const std::string& text) {
    _findings.push_back({true, where, text});
}

void Checker::note(const std::string& where, const std::string& text) {
    _findings.push_back({false, where, text});
}

std::string Checker::fileName(const Config& config) const {
    const std::string& path = config.getPath();
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Checker::isLocation(const std::string& name) const {
    try {
        getLocation(name);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

const std::vector<Checker::Finding>& Checker::check() {
    // The files are read here first, so that a missing or unreadable one
    // is told with its name; the loader reads them again.
    const char* extensions[] = {".dictionary", ".inventory", ".map", ".actionset"};
    for (int i = 0; i < 4; ++i) {
        _file = getName() + extensions[i];
        try {
            _files[i] = std::make_shared<Config>(_file);
        } catch (const Exception& failure) {
            if (i < 3 || !dynamic_cast<const ConfigNotFoundException*>(&failure))
                error(_file, failure.what());
        }
    }
    if (errors())
        return _findings;
    try {
        load();
    } catch (const Exception& failure) {
        error(_file, failure.what());
        return _findings;
    }
    const Config& main = *Config::getGlobalConfig();
    const Config& inventory = *_files[1];
    const Config& map = *_files[2];
    checkSections(*_files[0], {"IGNORE", "VERBS", "ITEMS", "ADVERBS"}, false);
    checkSections(inventory, {"ACTIONS", "MESSAGES", "EVENTS"}, true);
    checkSections(map, {"ACTIONS", "MESSAGES", "EVENTS"}, true);
    if (_files[3])
        checkSections(*_files[3], {"ACTIONS", "MESSAGES", "EVENTS"}, false);
    readDescriptions(inventory, {"DESCR", "LOOK-DESCR", "FIRST-DESCR"});
    readDescriptions(map, {"DESCR", "LONG-DESCR"});
    for (const char* variable : {"INTRO", "DEAD"})
        parse(place(fileName(main), "BEGINNING", variable), main.get(variable, "BEGINNING"));
    for (const auto& text : _texts)
        walk(text.where, text.action.get());
    checkPlaces();
    checkItemsPlaced();
    checkReachable();
    for (const auto& [name, where] : _declared_messages) {
        checkName(where, name);
        if (!_used_messages.count(name))
            note(where, T::CheckMessageUnused);
    }
    for (const auto& name : definitionSections(inventory))
        checkName(place(fileName(inventory), name), name);
    for (const auto& file : _files)
        if (file)
            for (const auto& [section, name] : file->repeated())
                note(place(fileName(*file), section, name), T::CheckRepeated);
    for (const auto& [section, name] : main.repeated())
        note(place(fileName(main), section, name), T::CheckRepeated);
    // File by file, each in the order found.
    auto rank = [&](const Finding& finding) {
        const std::string order[] = {".zanfa", ".dictionary", ".inventory", ".map", ".actionset"};
        for (int i = 0; i < 5; ++i)
            if (finding.where.starts_with(getName() + order[i]))
                return i;
        return 5;
    };
    std::stable_sort(_findings.begin(), _findings.end(),
                     [&](const Finding& a, const Finding& b) { return rank(a) < rank(b); });
    return _findings;
}

// ---- Loading, with the place of every declaration ----

void Checker::fillInventory() {
    _file = getName() + ".inventory";
    Main::fillInventory();
}

void Checker::fillMap() {
    _file = getName() + ".map";
    Main::fillMap();
}

void Checker::fillEmbeddedActionSet(const Config& config, int type) {
    _file = fileName(config);
    Main::fillEmbeddedActionSet(config, type);
}

void Checker::fillAction(const std::string& name, const std::string& text, int type,
                         const std::string& owner) {
    std::string where = place(_file, owner.empty() ? "ACTIONS" : owner + "/ACTIONS", name);
    try {
        Main::fillAction(name, text, type, owner);
        std::string key = tokenizeAction(name, nullptr, type, owner);
        checkBinding(where, key);
        _bindings.push_back(Util::split(key, ':'));
        auto colon = key.find(':');
        _texts.push_back({where, getAction(key.substr(0, colon), key.substr(colon + 1))});
    } catch (const Exception& failure) {
        error(where, failure.what());
    }
}

void Checker::fillMessage(const std::string& name, const std::string& text, int type,
                          const std::string& owner) {
    std::string where = place(_file, owner.empty() ? "MESSAGES" : owner + "/MESSAGES", name);
    try {
        Main::fillMessage(name, text, type, owner);
        _declared_messages[Util::toUpper(Util::trim(name))] = where;
        _texts.push_back({where, getMessage(name)});
    } catch (const Exception& failure) {
        error(where, failure.what());
    }
}

void Checker::fillEvent(const std::string& name, const std::string& text, int type,
                        const std::string& owner) {
    std::string where = place(_file, owner.empty() ? "EVENTS" : owner + "/EVENTS", name);
    std::string kind = Util::toUpper(Util::trim(Util::split(name, ':')[0]));
    bool known = false;
    for (const char* event : EVENT_TYPES)
        known = known || kind == event;
    if (!known) {
        error(where, quoted(T::CheckUnknownEvent, kind));
        return;
    }
    try {
        _event_key.clear();
        Main::fillEvent(name, text, type, owner);
        checkEvent(where, _event_key);
        _texts.push_back({where, getEvent(_event_key)});
    } catch (const Exception& failure) {
        error(where, failure.what());
    }
}

std::shared_ptr<Description> Checker::describe(const std::string& text, const std::string& name) {
    try {
        return Main::describe(text, name);
    } catch (const Exception&) {
        return Main::describe("", name); // told with its place by readDescriptions
    }
}

std::string Checker::tokenizeEvent(const std::string& declaration, const std::string& part1,
                                   const std::string& part2, const std::string& part3,
                                   const std::string& location, const std::string& item) {
    _event_key = Main::tokenizeEvent(declaration, part1, part2, part3, location, item);
    return _event_key;
}

void Checker::parse(const std::string& where, const std::string& text) {
    if (text.empty())
        return;
    try {
        _texts.push_back({where, std::make_shared<Description>(*this, text)});
    } catch (const Exception& failure) {
        error(where, failure.what());
    }
}

void Checker::readDescriptions(const Config& file, const std::vector<std::string>& variables) {
    for (const auto& section : definitionSections(file))
        for (const auto& variable : variables)
            parse(place(fileName(file), section, variable), file.get(variable, section));
}

// Sections the loader does not read: unknown names, and (where items or
// places own sections) attached sections whose owner the file lacks.
void Checker::checkSections(const Config& file, const std::set<std::string>& known, bool owners) {
    std::set<std::string> names(file.sections().begin(), file.sections().end());
    std::set<std::string> told;
    for (const auto& section : file.sections()) {
        if (section.empty() || known.count(section) || !told.insert(section).second)
            continue;
        auto slash = section.find('/');
        bool read =
            owners && (slash == std::string::npos || (known.count(section.substr(slash + 1)) &&
                                                      names.count(section.substr(0, slash))));
        if (!read)
            error(place(fileName(file), section), T::CheckSectionIgnored);
    }
}

// ---- Declarations ----

void Checker::checkBinding(const std::string& where, const std::string& key) {
    auto fields = Util::split(key, ':');
    if (fields[0] != ANY_WORD && !isLocation(fields[0]))
        error(where, quoted(T::CheckUnknownLocation, fields[0]));
    for (std::size_t i = 2; i < fields.size(); ++i)
        if (fields[i] != ANY_WORD && getWordKind(fields[i]) == 0)
            error(where, quoted(T::CheckUnknownWord, fields[i]));
}

void Checker::checkEvent(const std::string& where, const std::string& key) {
    auto fields = Util::split(key, ':');
    auto kinds = Util::split(fields[0], '-');
    // The names follow the event's words: ITEM-LOCATION-ENTER:item:place.
    for (std::size_t i = 1; i < fields.size() && i <= kinds.size(); ++i) {
        const std::string& name = fields[i];
        if (name == ANY_WORD)
            continue;
        if (kinds[i - 1] == "ITEM" && !existItem(name))
            error(where, quoted(T::CheckUnknownItem, name));
        else if (kinds[i - 1] == "LOCATION" && !isLocation(name))
            error(where, quoted(T::CheckUnknownLocation, name));
    }
}

// ---- The texts ----

void Checker::walk(const std::string& where, const Action* action) {
    if (!action)
        return;
    if (auto text = dynamic_cast<const Description*>(action)) {
        for (const auto& part : text->parts())
            if (auto block = std::get_if<std::shared_ptr<Action>>(&part))
                walk(where, block->get());
    } else if (auto many = dynamic_cast<const MultiAction*>(action)) {
        for (const auto& each : many->actions())
            walk(where, each.get());
    } else if (auto condition = dynamic_cast<const IfThen*>(action)) {
        checkCondition(where, condition->getExpression());
        walk(where, condition->getThenAction().get());
    } else if (auto otherwise = dynamic_cast<const IfElse*>(action)) {
        walk(where, otherwise->getElseAction().get());
    } else if (auto ref = dynamic_cast<const ActionRef*>(action)) {
        checkReference(where, ref->getRef());
    } else if (auto print = dynamic_cast<const MsgPrint*>(action)) {
        if (print->getMessage().empty())
            return;
        std::string name = Util::toUpper(Util::trim(print->getMessage()));
        _used_messages.insert(name);
        if (!_declared_messages.count(name))
            error(where, quoted(T::CheckUnknownMessage, name));
    } else if (auto move = dynamic_cast<const ItemGoTo*>(action)) {
        if (!move->getItem().empty()) {
            checkItem(where, move->getItem());
            _moved_items.insert(Util::toUpper(Util::trim(move->getItem())));
        } else {
            _goto_targets.insert(Util::toUpper(Util::trim(move->getLocation())));
        }
        if (!move->getLocation().empty() && !isLocation(move->getLocation()))
            error(where, quoted(T::CheckUnknownLocation, move->getLocation()));
    } else if (auto hide = dynamic_cast<const ItemHide*>(action)) {
        checkItem(where, hide->getItem());
    } else if (auto take = dynamic_cast<const ItemTake*>(action)) {
        checkItem(where, take->getItem());
    } else if (auto drop = dynamic_cast<const ItemDrop*>(action)) {
        checkItem(where, drop->getItem());
    }
}

// The items and places a condition names in the paths of the state.
void Checker::checkCondition(const std::string& where, const std::string& expression) {
    static const std::regex item(R"((USER\.INVENTORY|GLOBAL\.ITEMS)\.([^.\s()=!<>&|']+))");
    static const std::regex location(R"(USER\.LOCATION\s*(==|!=)\s*'([^']*)')");
    const std::string text = Util::toUpper(expression);
    for (std::sregex_iterator at(text.begin(), text.end(), item), end; at != end; ++at)
        checkItem(where, (*at)[2]);
    for (std::sregex_iterator at(text.begin(), text.end(), location), end; at != end; ++at)
        if (!isLocation((*at)[2]))
            error(where, quoted(T::CheckUnknownLocation, (*at)[2]));
}

// A name that a command such as NAME.take would read as another command.
void Checker::checkName(const std::string& where, const std::string& name) {
    const std::string lower = Util::toLower(name);
    for (const char* keyword : {"die", "end", "sleep", "pause", "if", "else", "print", "@"})
        if (lower.starts_with(keyword))
            return note(where, quoted(T::CheckKeywordName, keyword));
    if (lower.find("goto") != std::string::npos)
        note(where, quoted(T::CheckKeywordName, "goto"));
}

void Checker::checkItem(const std::string& where, const std::string& name) {
    if (!name.empty() && !existItem(name))
        error(where, quoted(T::CheckUnknownItem, Util::toUpper(Util::trim(name))));
}

// A reference is served when a binding of its place or of "*" has its verb
// and as many words, each the same or "*" for an item; a "*" of the
// reference stands for any item of the command that runs it.
void Checker::checkReference(const std::string& where, const std::string& ref) {
    auto fields = Util::split(ref, ':');
    bool known = true;
    if (fields[0] != ANY_WORD && !isLocation(fields[0])) {
        error(where, quoted(T::CheckUnknownLocation, fields[0]));
        known = false;
    }
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (fields[i] != ANY_WORD && getWordKind(fields[i]) == 0) {
            error(where, quoted(T::CheckUnknownWord, fields[i]));
            known = false;
        }
    }
    if (!known)
        return;
    auto serves = [&](const std::vector<std::string>& binding) {
        if (binding.size() != fields.size() || binding[1] != fields[1] ||
            (binding[0] != fields[0] && binding[0] != ANY_WORD))
            return false;
        for (std::size_t i = 2; i < fields.size(); ++i) {
            bool item = fields[i] == ANY_WORD || getWordKind(fields[i]) == ITEM_WORD;
            if (fields[i] != ANY_WORD && binding[i] != fields[i] &&
                !(item && binding[i] == ANY_WORD))
                return false;
        }
        return true;
    };
    for (const auto& binding : _bindings)
        if (serves(binding))
            return;
    for (const auto& verb : builtInVerbs())
        for (const std::string& rest : {verb, verb + ":" + ANY_WORD})
            if (getAction(ANY_WORD, rest) &&
                serves(Util::split(std::string(ANY_WORD) + ":" + rest, ':')))
                return;
    error(where, quoted(T::CheckUnservedReference, "@" + ref));
}

// ---- The world ----

void Checker::checkPlaces() {
    const Config& main = *Config::getGlobalConfig();
    const Config& inventory = *_files[1];
    const Config& map = *_files[2];
    std::string mapFile = fileName(map);
    std::map<std::string, std::string> placed; // item: where it was listed
    for (const auto& name : definitionSections(inventory))
        if (name.find('.') != std::string::npos)
            error(place(fileName(inventory), name), T::CheckDotInName);
    for (const auto& name : definitionSections(map)) {
        if (name.find('.') != std::string::npos)
            error(place(mapFile, name), T::CheckDotInName);
        for (const char* exit : EXITS) {
            std::string next = Util::trim(map.get(exit, name));
            if (!next.empty() && !isLocation(next))
                error(place(mapFile, name, exit), quoted(T::CheckUnknownLocation, next));
        }
        for (const auto& key : splitList(map.get("ITEMS", name))) {
            if (placed.count(key))
                note(place(mapFile, name, "ITEMS"),
                     quoted(T::CheckPlacedTwice, key) + T::CheckPlacedTwiceX + placed[key]);
            placed[key] = place(mapFile, name, "ITEMS");
        }
    }
    std::string start = Util::trim(main.get("LOCATION", "BEGINNING"));
    std::string where = place(fileName(main), "BEGINNING", "LOCATION");
    if (start.empty())
        error(where, T::CheckNoStart);
    else if (!isLocation(start))
        error(where, quoted(T::CheckUnknownLocation, start));
}

void Checker::checkItemsPlaced() {
    const Config& inventory = *_files[1];
    for (const auto& name : definitionSections(inventory)) {
        auto item = getItem(name);
        if (item->initialLocation().empty() && !item->initiallyCarried() &&
            !_moved_items.count(item->name()))
            error(place(fileName(inventory), name), T::CheckItemNowhere);
    }
}

void Checker::checkReachable() {
    std::string start = Util::toUpper(Util::trim(Config::getG("LOCATION", "BEGINNING")));
    if (!isLocation(start))
        return;
    // Places a "goto" leads to count as reached: the conditions around it
    // cannot be judged here.
    std::set<std::string> reached{start};
    std::deque<std::string> queue{start};
    for (const auto& target : _goto_targets)
        if (isLocation(target) && reached.insert(target).second)
            queue.push_back(target);
    while (!queue.empty()) {
        auto here = getLocation(queue.front());
        queue.pop_front();
        for (int direction = Location::N; direction <= Location::D; direction <<= 1) {
            std::string next = Util::toUpper(Util::trim(here->getNextByDirection(direction)));
            if (!next.empty() && isLocation(next) && reached.insert(next).second)
                queue.push_back(next);
        }
    }
    const Config& map = *_files[2];
    for (const auto& name : definitionSections(map))
        if (!reached.count(name))
            note(place(fileName(map), name), T::CheckUnreachable);
}

} // namespace zanfir
