#include "tools/Checker.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <regex>

#include "T.h"
#include "language/CommandTable.h"
#include "language/Description.h"
#include "language/action/ActionRef.h"
#include "language/action/IfThen.h"
#include "language/action/ItemDrop.h"
#include "language/action/ItemGoTo.h"
#include "language/action/ItemHide.h"
#include "language/action/ItemTake.h"
#include "language/action/MsgPrint.h"
#include "language/action/VarInc.h"
#include "language/action/VarSet.h"
#include "runtime/Errors.h"
#include "tools/DictionaryCheck.h"
#include "tools/SettingsCheck.h"
#include "tools/Spelling.h"
#include "tools/TextScan.h"
#include "tools/VariableCheck.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/EventTable.h"
#include "world/Item.h"
#include "world/Loader.h"
#include "world/Location.h"

namespace zanfir {

namespace {

const char* const EXITS[] = {"NORTH", "SOUTH", "EAST", "WEST", "UP", "DOWN"};
// The files of an adventure, in the order their findings are told.
const char* const FILES[] = {".zanfa", ".dictionary", ".inventory", ".map", ".actionset"};

// A file's name, without its folder.
std::string nameOf(const Config& file) {
    return file.getPath().substr(file.getPath().rfind('/') + 1);
}

Checker::Where placeOf(const Declaration& declaration) {
    return {declaration.file, declaration.line, declaration.section, declaration.variable};
}

std::string quoted(const char* text, const std::string& name) {
    return text + name + T::QuoteEnd;
}

std::string normalise(const std::string& name) {
    return Util::toUpper(Util::trim(name));
}

// The known name that `name` plainly misspells; the exits may be written
// as the directions are typed.
std::optional<std::string> misspelt(const std::string& name,
                                    const std::vector<std::string>& known) {
    const char* const directions[] = {Word::NORTH, Word::SOUTH, Word::EAST,
                                      Word::WEST,  Word::UP,    Word::DOWN};
    for (std::size_t i = 0; i < std::size(EXITS); ++i)
        if (name == directions[i] && std::find(known.begin(), known.end(), EXITS[i]) != known.end())
            return EXITS[i];
    return Spelling::meant(name, known);
}

} // namespace

Checker::Checker(const std::string& name, const std::optional<std::string>& path)
    : _main(name, path, true, false, false), _variable_check(std::make_unique<VariableCheck>()) {}

Checker::~Checker() = default;

int Checker::errors() const {
    int count = 0;
    for (const auto& finding : _findings)
        count += finding.error;
    return count;
}

Checker::Where Checker::place(const Config& file, const std::string& section,
                              const std::string& variable) {
    Config::Section in = section.empty() ? std::nullopt : Config::Section(section);
    return {nameOf(file), variable.empty() ? file.sectionLine(section) : file.line(variable, in),
            section, variable};
}

int Checker::warnings() const {
    return static_cast<int>(_findings.size()) - errors();
}

void Checker::error(const Where& where, const std::string& text) {
    _findings.push_back({true, where, text});
}

void Checker::warning(const Where& where, const std::string& text) {
    _findings.push_back({false, where, text});
}

bool Checker::isLocation(const std::string& name) const {
    try {
        _main.world().getLocation(name);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

const Config* Checker::file(const char* extension) const {
    auto found = _files.find(extension);
    return found == _files.end() ? nullptr : found->second.get();
}

std::string Checker::fileName(const char* extension) const {
    return _main.getName() + extension;
}

const std::vector<Checker::Finding>& Checker::check() {
    try {
        _main.load(this);
    } catch (const Exception& failure) {
        error(failure.place().known() ? failure.place() : Where{fileName(".zanfa"), 0, "", ""},
              failure.what());
        _broken = true;
    }
    if (!_broken)
        checkWorld();
    // File by file, line by line; what stands on one line in the order found.
    auto rank = [&](const Finding& finding) {
        int i = 0;
        for (const char* extension : FILES) {
            if (finding.where.file == fileName(extension))
                return i;
            ++i;
        }
        return i;
    };
    std::stable_sort(_findings.begin(), _findings.end(), [&](const Finding& a, const Finding& b) {
        return std::pair(rank(a), a.where.line) < std::pair(rank(b), b.where.line);
    });
    return _findings;
}

// In the order the findings of one file are told: its sections, its texts,
// its names.
void Checker::checkWorld() {
    const Config& main = _main.mainFile();
    const Config& inventory = *file(".inventory");
    for (auto& finding : SettingsCheck::check(main))
        _findings.push_back(std::move(finding));
    checkSections(main, {"BEGINNING"}, false);
    checkSections(*file(".dictionary"), {"IGNORE", "VERBS", "ITEMS", "ADVERBS"}, false);
    checkSections(inventory, {"ACTIONS", "MESSAGES", "EVENTS"}, true);
    checkSections(*file(".map"), {"ACTIONS", "MESSAGES", "EVENTS"}, true);
    if (auto actionset = file(".actionset"))
        checkSections(*actionset, {"ACTIONS", "MESSAGES", "EVENTS"}, false);
    _findings.insert(_findings.end(), _description_errors.begin(), _description_errors.end());
    _texts.insert(_texts.end(), _descriptions.begin(), _descriptions.end());
    for (const char* variable : {"INTRO", "DEAD"})
        parse(place(main, "BEGINNING", variable), main.get(variable, "BEGINNING"));
    for (const auto& text : _texts) {
        _where = text.where;
        if (text.action)
            text.action->accept(*this);
        checkText(text.where, text.source);
    }
    for (auto& finding : _variable_check->check())
        _findings.push_back(std::move(finding));
    checkVariables(inventory, Loader::definitionSections(inventory), Loader::itemVariables());
    checkVariables(*file(".map"), Loader::definitionSections(*file(".map")),
                   Loader::locationVariables());
    checkVariables(main, {"BEGINNING"}, {"INTRO", "DEAD", "LOCATION"});
    for (auto& finding : DictionaryCheck(_main.world(), *file(".dictionary"), inventory).check())
        _findings.push_back(std::move(finding));
    checkPlaces();
    checkItemsPlaced();
    checkReachable();
    for (const auto& [name, where] : _declared_messages) {
        checkName(where, name);
        if (!_used_messages.count(name))
            warning(where, T::CheckMessageUnused);
    }
    for (const auto& name : Loader::definitionSections(inventory))
        checkName(place(inventory, name), name);
    for (const char* extension : {".dictionary", ".inventory", ".map", ".actionset"})
        if (auto each = file(extension))
            for (const auto& [section, name] : each->repeated())
                warning(place(*each, section, name), T::CheckRepeated);
    for (const auto& [section, name] : main.repeated())
        warning(place(main, section, name), T::CheckRepeated);
}

// ---- The load, declaration by declaration ----

bool Checker::admit(const Declaration& declaration) {
    if (declaration.kind != Declaration::Kind::Event)
        return true;
    std::string type = normalise(Util::split(declaration.variable, ':')[0]);
    if (EventTable::find(type))
        return true;
    error(placeOf(declaration), quoted(T::CheckUnknownEvent, type));
    return false;
}

void Checker::loaded(const Declaration& declaration) {
    Where where = placeOf(declaration);
    std::string extension = declaration.file.substr(_main.getName().size());
    // The text as written, from the file already read.
    auto text = [&] {
        return Text{where, declaration.action,
                    _files.at(extension)->get(declaration.variable, declaration.section)};
    };
    switch (declaration.kind) {
    case Declaration::Kind::File:
        _files[extension] = declaration.config;
        break;
    case Declaration::Kind::Text:
        _descriptions.push_back(text());
        break;
    case Declaration::Kind::Binding:
        checkBinding(where, declaration.key);
        _bindings.push_back(Util::split(declaration.key, ':'));
        _texts.push_back(text());
        break;
    case Declaration::Kind::Message:
        _declared_messages[declaration.key] = where;
        _texts.push_back(text());
        break;
    case Declaration::Kind::Event:
        checkEvent(where, declaration.key);
        _texts.push_back(text());
        break;
    case Declaration::Kind::Item:
        if (declaration.variable == "ITEMS") // only the map lists it
            _map_items.emplace_back(declaration.key, where);
        break;
    case Declaration::Kind::Location:
        break;
    }
}

void Checker::failed(const Declaration& declaration, const Exception& failure) {
    switch (declaration.kind) {
    case Declaration::Kind::File: // a syntax error knows its line
        _broken = true;
        error(failure.place().known() ? failure.place() : Where{declaration.file, 0, "", ""},
              failure.what());
        break;
    case Declaration::Kind::Text:
        _description_errors.push_back(
            {true, placeOf(declaration), explained(declaration, failure)});
        break;
    default:
        error(placeOf(declaration), explained(declaration, failure));
    }
}

// A command the parser refused, in plain words where the text shows why.
std::string Checker::explained(const Declaration& declaration, const Exception& failure) const {
    auto refused = dynamic_cast<const ActionSyntaxException*>(&failure);
    auto file = _files.find(declaration.file.substr(_main.getName().size()));
    if (!refused || file == _files.end())
        return failure.what();
    std::string source = file->second->get(declaration.variable, declaration.section);
    if (auto cut = TextScan::cutText(source))
        return T::CheckCutText + cut->first + T::CheckCutTextX + cut->second + T::CheckCutTextXX;
    if (auto keyword = TextScan::keywordOf(refused->getWhat()))
        return T::CheckKeywordCommand + refused->getWhat() + T::CheckKeywordCommandX + *keyword +
               T::CheckKeywordCommandXX;
    return failure.what();
}

void Checker::parse(const Where& where, const std::string& text) {
    if (text.empty())
        return;
    try {
        _texts.push_back({where, std::make_shared<Description>(_main, text), text});
    } catch (const Exception& failure) {
        error(where, failure.what());
    }
}

// Sections the loader does not read: unknown names, and (where items or
// places own sections) attached sections whose owner the file lacks.
void Checker::checkSections(const Config& file, const std::set<std::string>& known, bool owners) {
    std::string name = nameOf(file);
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
            error(place(file, section), T::CheckSectionIgnored);
    }
}

// ---- Declarations ----

void Checker::checkBinding(const Where& where, const std::string& key) {
    auto fields = Util::split(key, ':');
    if (fields[0] != Word::ANY_WORD && !isLocation(fields[0]))
        error(where, quoted(T::CheckUnknownLocation, fields[0]));
    for (std::size_t i = 2; i < fields.size(); ++i)
        if (fields[i] != Word::ANY_WORD && _main.world().getWordKind(fields[i]) == 0)
            error(where, quoted(T::CheckUnknownWord, fields[i]));
}

// The names of an event's key, in key order: ITEM-LOCATION-ENTER:item:place.
void Checker::checkEvent(const Where& where, const std::string& key) {
    auto fields = Util::split(key, ':');
    EventTable::Arguments arguments;
    if (fields.size() > 1)
        arguments.first = fields[1];
    if (fields.size() > 2)
        arguments.second = fields[2];
    const auto names = EventTable::itemAndLocation(fields[0], arguments);
    const std::string& item = names.first;
    const std::string& location = names.second;
    auto checkItemName = [&] {
        if (!item.empty() && item != Word::ANY_WORD && !_main.world().existItem(item))
            error(where, quoted(T::CheckUnknownItem, item));
    };
    auto checkLocation = [&] {
        if (!location.empty() && location != Word::ANY_WORD && !isLocation(location))
            error(where, quoted(T::CheckUnknownLocation, location));
    };
    if (fields[0].starts_with("LOCATION")) {
        checkLocation();
        checkItemName();
    } else {
        checkItemName();
        checkLocation();
    }
}

// ---- The texts ----

void Checker::visit(const ActionRef& ref) {
    checkReference(_where, ref.getRef());
}

void Checker::visit(const IfThen& condition) {
    checkCondition(_where, condition.getExpression());
}

void Checker::visit(const ItemDrop& drop) {
    checkItem(_where, drop.getItem());
}

void Checker::visit(const ItemGoTo& move) {
    if (!move.getItem().empty()) {
        checkItem(_where, move.getItem());
        _moved_items.insert(normalise(move.getItem()));
    } else {
        _goto_targets.insert(normalise(move.getLocation()));
    }
    if (!move.getLocation().empty() && !isLocation(move.getLocation()))
        error(_where, quoted(T::CheckUnknownLocation, move.getLocation()));
}

void Checker::visit(const ItemHide& hide) {
    checkItem(_where, hide.getItem());
}

void Checker::visit(const ItemTake& take) {
    checkItem(_where, take.getItem());
}

void Checker::visit(const MsgPrint& print) {
    if (print.getMessage().empty()) {
        for (const auto& piece : print.getStrings())
            if (piece.starts_with(Util::QUOTE) != piece.ends_with(Util::QUOTE) ||
                piece == std::string(1, Util::QUOTE))
                error(_where, quoted(T::CheckUnclosedText, piece));
            else if (!Util::stringIsString(piece) && !Util::stringIsInteger(piece))
                _variable_check->read(piece, _where);
        return;
    }
    std::string name = normalise(print.getMessage());
    _used_messages.insert(name);
    if (!_declared_messages.count(name))
        error(_where, quoted(T::CheckUnknownMessage, name));
}

void Checker::visit(const VarInc& increment) {
    _variable_check->set(increment.getVariable(), true, _where);
}

void Checker::visit(const VarSet& assignment) {
    const std::string& value = assignment.getValue();
    bool literal = assignment.isAsk() || assignment.isRandom() || Util::stringIsString(value) ||
                   Util::stringIsBoolean(value) || Util::stringIsInteger(value);
    _variable_check->set(
        assignment.getVariable(),
        assignment.isRandom() || (!assignment.isAsk() && Util::stringIsInteger(value)), _where);
    if (!literal)
        _variable_check->read(value, _where);
}

// The items and places a condition names in the paths of the state, the
// variables it reads and what it compares.
void Checker::checkCondition(const Where& where, const std::string& expression) {
    static const std::regex item(R"((USER\.INVENTORY|GLOBAL\.ITEMS)\.([^.\s()=!<>&|']+))");
    static const std::regex location(R"(USER\.LOCATION\s*(==|!=)\s*'([^']*)')");
    static const std::regex name(R"([^\s()=!<>&|']+)");
    static const std::regex comparison(
        R"(('[^']*'|[^\s()=!<>&|']+)\s*(==|!=|<=|>=|<|>)\s*('[^']*'|[^\s()=!<>&|']+))");
    const std::string text = Util::toUpper(expression);
    for (std::sregex_iterator at(text.begin(), text.end(), item), end; at != end; ++at)
        checkItem(where, (*at)[2]);
    for (std::sregex_iterator at(text.begin(), text.end(), location), end; at != end; ++at)
        if (!isLocation((*at)[2]))
            error(where, quoted(T::CheckUnknownLocation, (*at)[2]));
    const std::string unquoted = std::regex_replace(text, std::regex("'[^']*'"), " ");
    for (std::sregex_iterator at(unquoted.begin(), unquoted.end(), name), end; at != end; ++at)
        if (!Util::stringIsBoolean(at->str()) && !Util::stringIsInteger(at->str()))
            _variable_check->read(at->str(), where);
    for (std::sregex_iterator at(expression.begin(), expression.end(), comparison), end; at != end;
         ++at)
        _variable_check->compare((*at)[1], (*at)[3], where);
}

void Checker::checkText(const Where& where, const std::string& source) {
    for (const auto& command : TextScan::swallowed(source))
        error(where, quoted(T::CheckElseSwallowed, command));
    if (TextScan::strayBrace(source))
        error(where, T::CheckStrayBrace);
    for (const auto& [command, keyword] : TextScan::misread(source))
        error(where, T::CheckKeywordCommand + command + T::CheckKeywordCommandX + keyword +
                         T::CheckKeywordCommandXX);
}

// A name that a command such as NAME.take would read as another command.
void Checker::checkName(const Where& where, const std::string& name) {
    const std::string lower = Util::toLower(name);
    for (const char* keyword : {"die", "end", "sleep", "pause", "if", "else", "print", "@"})
        if (lower.starts_with(keyword))
            return warning(where, quoted(T::CheckKeywordName, keyword));
    if (lower.find("goto") != std::string::npos)
        warning(where, quoted(T::CheckKeywordName, "goto"));
}

void Checker::checkItem(const Where& where, const std::string& name) {
    if (!name.empty() && !_main.world().existItem(name))
        error(where, quoted(T::CheckUnknownItem, normalise(name)));
}

// A reference is served when a binding of its place or of "*" has its verb
// and as many words, each the same or "*" for an item; a "*" of the
// reference stands for any item of the command that runs it.
void Checker::checkReference(const Where& where, const std::string& ref) {
    auto fields = Util::split(ref, ':');
    bool known = true;
    if (fields[0] != Word::ANY_WORD && !isLocation(fields[0])) {
        error(where, quoted(T::CheckUnknownLocation, fields[0]));
        known = false;
    }
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (fields[i] != Word::ANY_WORD && _main.world().getWordKind(fields[i]) == 0) {
            error(where, quoted(T::CheckUnknownWord, fields[i]));
            known = false;
        }
    }
    if (!known)
        return;
    auto serves = [&](const std::vector<std::string>& binding) {
        if (binding.size() != fields.size() || binding[1] != fields[1] ||
            (binding[0] != fields[0] && binding[0] != Word::ANY_WORD))
            return false;
        for (std::size_t i = 2; i < fields.size(); ++i) {
            bool item = fields[i] == Word::ANY_WORD ||
                        _main.world().getWordKind(fields[i]) == Word::ITEM_WORD;
            if (fields[i] != Word::ANY_WORD && binding[i] != fields[i] &&
                !(item && binding[i] == Word::ANY_WORD))
                return false;
        }
        return true;
    };
    for (const auto& binding : _bindings)
        if (serves(binding))
            return;
    for (const auto& verb : World::builtInVerbs())
        for (const std::string& rest : {verb, verb + ":" + Word::ANY_WORD})
            if (_main.world().getAction(Word::ANY_WORD, rest) &&
                serves(Util::split(std::string(Word::ANY_WORD) + ":" + rest, ':')))
                return;
    error(where, quoted(T::CheckUnservedReference, "@" + ref));
}

// ---- Sections and words ----

// Variables of an item's, a place's or the beginning's section that the
// loader does not read: a misspelt name is an error, any other a note.
void Checker::checkVariables(const Config& file, const std::vector<std::string>& sections,
                             const std::vector<std::string>& known) {
    std::string name = nameOf(file);
    for (const auto& section : sections) {
        for (const auto& variable : file.variables(section)) {
            if (variable.find('/') != std::string::npos ||
                std::find(known.begin(), known.end(), variable) != known.end() ||
                (&file == &_main.mainFile() && SettingsCheck::isSetting(variable)))
                continue;
            Where where = place(file, section, variable);
            if (auto like = misspelt(variable, known))
                error(where, quoted(T::CheckVariableMisspelt, *like));
            else
                warning(where, _variable_check->isUsed(variable) ? T::CheckVariableOfPlayer
                                                                 : T::CheckVariableUnread);
        }
    }
}

// ---- The world ----

void Checker::checkPlaces() {
    const Config& main = _main.mainFile();
    const Config& inventory = *file(".inventory");
    const Config& map = *file(".map");
    std::map<std::string, Where> placed; // item: where it was listed
    for (const auto& name : Loader::definitionSections(inventory))
        if (name.find('.') != std::string::npos)
            error(place(inventory, name), T::CheckDotInName);
    for (const auto& name : Loader::definitionSections(map)) {
        if (name.find('.') != std::string::npos)
            error(place(map, name), T::CheckDotInName);
        for (const char* exit : EXITS) {
            std::string next = Util::trim(map.get(exit, name));
            if (!next.empty() && !isLocation(next))
                error(place(map, name, exit), quoted(T::CheckUnknownLocation, next));
        }
        for (const auto& key : Loader::splitList(map.get("ITEMS", name))) {
            if (placed.count(key))
                warning(place(map, name, "ITEMS"), quoted(T::CheckPlacedTwice, key) +
                                                       T::CheckPlacedTwiceX +
                                                       placed[key].toString());
            placed[key] = place(map, name, "ITEMS");
        }
    }
    std::string start = Util::trim(main.get("LOCATION", "BEGINNING"));
    Where where = place(main, "BEGINNING", "LOCATION");
    if (start.empty())
        error(where, T::CheckNoStart);
    else if (!isLocation(start))
        error(where, quoted(T::CheckUnknownLocation, start));
}

// Items of the inventory that lie nowhere or have no description; an item
// only the map lists that is plainly one of the inventory's misspelt.
void Checker::checkItemsPlaced() {
    const Config& inventory = *file(".inventory");
    const auto declared = Loader::definitionSections(inventory);
    for (const auto& name : declared) {
        auto item = _main.world().getItem(name);
        if (item->initialLocation().empty() && !item->initiallyCarried() &&
            !_moved_items.count(item->name()))
            error(place(inventory, name), T::CheckItemNowhere);
        if (!inventory.getN("DESCR", name))
            warning(place(inventory, name), quoted(T::CheckNoDescr, Util::toLower(name)));
    }
    for (const auto& [name, where] : _map_items)
        if (auto meant = Spelling::meant(normalise(name), declared))
            error(where, quoted(T::CheckMapItemMisspelt, *meant));
}

void Checker::checkReachable() {
    std::string start = Util::toUpper(Util::trim(_main.mainFile().get("LOCATION", "BEGINNING")));
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
        auto here = _main.world().getLocation(queue.front());
        queue.pop_front();
        for (int direction = Location::N; direction <= Location::D; direction <<= 1) {
            std::string next = Util::toUpper(Util::trim(here->getNextByDirection(direction)));
            if (!next.empty() && isLocation(next) && reached.insert(next).second)
                queue.push_back(next);
        }
    }
    const Config& map = *file(".map");
    for (const auto& name : Loader::definitionSections(map))
        if (!reached.count(name))
            warning(place(*file(".map"), name), T::CheckUnreachable);
}

} // namespace zanfir
