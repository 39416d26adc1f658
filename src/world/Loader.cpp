#include "world/Loader.h"

#include <unordered_set>

#include "T.h"
#include "language/ActionParser.h"
#include "language/Description.h"
#include "language/action/ItemDrop.h"
#include "language/action/ItemTake.h"
#include "language/action/Load.h"
#include "language/action/Look.h"
#include "language/action/Move.h"
#include "language/action/Quit.h"
#include "language/action/Save.h"
#include "language/action/Tell.h"
#include "language/action/Wait.h"
#include "language/action/What.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/ref/IntRef.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/EventTable.h"
#include "world/Item.h"
#include "world/LoadListener.h"
#include "world/Location.h"
#include "world/Word.h"
#include "world/World.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main"; // the log names the engine
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

std::string fileName(const Config& config) {
    const std::string& path = config.getPath();
    return path.substr(path.rfind('/') + 1);
}

} // namespace

Loader::Loader(World& world, ActionParser& parser, const Config& main, const std::string& name,
               bool multiuser)
    : _world(world), _parser(parser), _main(main), _name(name), _multiuser(multiuser) {}

std::vector<std::string> Loader::splitList(const std::string& list) {
    std::vector<std::string> elements;
    for (const auto& piece : Util::split(list, ','))
        if (auto element = normalise(piece); !element.empty())
            elements.push_back(std::move(element));
    return elements;
}

std::vector<std::string> Loader::definitionSections(const Config& config) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const auto& name : config.sections())
        if (!name.empty() && !isEmbeddedSection(name) && seen.insert(name).second)
            names.push_back(name);
    return names;
}

template <class Work>
void Loader::declare(Declaration declaration, Work work) {
    if (_listener && !_listener->admit(declaration))
        return;
    try {
        Entry entry = work();
        if (entry.key.empty())
            return;
        if (entry.action && !entry.action->place())
            entry.action->setPlace(
                {declaration.file, declaration.line, declaration.section, declaration.variable});
        declaration.key = std::move(entry.key);
        declaration.action = std::move(entry.action);
    } catch (Exception& error) {
        if (!_listener) {
            error.setPlace(
                {declaration.file, declaration.line, declaration.section, declaration.variable});
            throw;
        }
        _listener->failed(declaration, error);
        return;
    }
    if (_listener)
        _listener->loaded(declaration);
}

std::shared_ptr<const Config> Loader::read(const std::string& extension, bool optional) {
    Declaration file{Declaration::Kind::File, _name + extension};
    try {
        file.config = std::make_shared<Config>(_main.getBaseDir(), file.file);
    } catch (const Exception& error) {
        if (optional && dynamic_cast<const ConfigNotFoundException*>(&error)) {
            Log::writeG(ENTITY, Log::WARN, error);
            return nullptr;
        }
        if (!_listener)
            throw;
        _listener->failed(file, error);
        _unreadable = true;
        return nullptr;
    }
    if (_listener)
        _listener->loaded(file);
    return file.config;
}

void Loader::load(LoadListener* listener) {
    _listener = listener;
    _unreadable = false;
    // Every file is read before anything is built: a missing or malformed
    // one stops the start before any loader runs.
    _map = read(".map");
    _dictionary = read(".dictionary");
    _inventory = read(".inventory");
    _actionset = read(".actionset", true);
    if (!_unreadable) {
        fillDictionary();
        fillInventory();
        fillMap();
        fillActionSet();
    }
    _listener = nullptr;
}

// ---- Dictionary ----

void Loader::putWords(int kind, const std::string& section) {
    for (const auto& name : _dictionary->variables(section)) {
        for (const auto& synonym : splitList(_dictionary->get(name, section)))
            _world.putWord(kind, synonym, name);
        _world.putWord(kind, name, name);
    }
}

void Loader::fillDictionary() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingDictionary);
    for (const auto& name : _dictionary->variables("IGNORE")) {
        _world.putIgnoreWord(name);
        for (const auto& word : splitList(_dictionary->get(name, "IGNORE")))
            _world.putIgnoreWord(word);
    }
    putWords(Word::VERB_WORD, "VERBS");
    putWords(Word::ITEM_WORD, "ITEMS");
    putWords(Word::ADVERB_WORD, "ADVERBS");
    for (const auto& verb : World::builtInVerbs())
        _world.putWord(Word::VERB_WORD, verb, verb);
}

// ---- Inventory and map ----

std::shared_ptr<Description> Loader::describe(const std::string& text, const std::string& name) {
    return std::make_shared<Description>(
        _parser, text.empty() ? Util::QUOTE + Util::toLower(name) + Util::QUOTE : text);
}

std::shared_ptr<Description> Loader::declaredText(const Config& file, const std::string& name,
                                                  const std::string& variable) {
    std::string text = file.get(variable, name);
    if (text.empty())
        return nullptr;
    std::shared_ptr<Description> description;
    declare({Declaration::Kind::Text, fileName(file), file.line(variable, name), name, variable},
            [&] {
                description = describe(text, name);
                return Entry{name, description};
            });
    return description ? description : describe("", name);
}

const std::vector<std::string>& Loader::itemVariables() {
    static const std::vector<std::string> names{"DESCR",     "LOOK-DESCR", "FIRST-DESCR", "VISIBLE",
                                                "CARRIABLE", "SYNONYMS",   "CARRIED",     "HIDDEN"};
    return names;
}

const std::vector<std::string>& Loader::locationVariables() {
    static const std::vector<std::string> names{"DESCR", "LONG-DESCR", "NORTH", "SOUTH", "EAST",
                                                "WEST",  "UP",         "DOWN",  "ITEMS"};
    return names;
}

void Loader::fillInventory() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingInventory);
    const Config& file = *_inventory;
    for (const auto& name : definitionSections(file)) {
        declare({Declaration::Kind::Item, fileName(file), file.sectionLine(name), name}, [&] {
            bool visible = isTrue(file.getD("VISIBLE", name, "TRUE"));
            bool carriable = visible && isTrue(file.getD("CARRIABLE", name, "TRUE"));
            auto descr = declaredText(file, name, "DESCR");
            auto look = declaredText(file, name, "LOOK-DESCR");
            auto first = declaredText(file, name, "FIRST-DESCR");
            auto item = std::make_shared<Item>(name, descr ? descr : describe("", name), look,
                                               first, visible, carriable);
            if (isTrue(file.getD("CARRIED", name, "FALSE"))) {
                if (!_multiuser) {
                    item->initCarried(true);
                } else {
                    item->initLocation(_main.get("LOCATION", BEGINNING));
                    Log::writeG(ENTITY, Log::WARN,
                                T::CarriedObjectMovedToBeginning + name +
                                    T::CarriedObjectMovedToBeginningX);
                }
            }
            item->initHidden(isTrue(file.getD("HIDDEN", name, "FALSE")));
            _world.putItem(item);
            for (const auto& synonym : splitList(file.get("SYNONYMS", name)))
                _world.putWord(Word::ITEM_WORD, synonym, name);
            _world.putWord(Word::ITEM_WORD, name, name);
            return Entry{name, nullptr};
        });
    }
}

void Loader::fillMap() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingMap);
    const Config& file = *_map;
    for (const auto& name : definitionSections(file)) {
        for (const auto& element : splitList(file.get("ITEMS", name))) {
            if (_world.existItem(element)) {
                _world.getItem(element)->initLocation(name);
                continue;
            }
            declare(
                {Declaration::Kind::Item, fileName(file), file.line("ITEMS", name), name, "ITEMS"},
                [&] {
                    auto item = std::make_shared<Item>(element, describe("", element), nullptr,
                                                       nullptr, false, false);
                    item->initLocation(name);
                    item->initHidden(false);
                    _world.putItem(item);
                    _world.putWord(Word::ITEM_WORD, element, element);
                    return Entry{element, nullptr};
                });
        }
        declare({Declaration::Kind::Location, fileName(file), file.sectionLine(name), name}, [&] {
            auto descr = declaredText(file, name, "DESCR");
            auto longDescr = declaredText(file, name, "LONG-DESCR");
            Location::Exits exits{file.get("NORTH", name), file.get("SOUTH", name),
                                  file.get("EAST", name),  file.get("WEST", name),
                                  file.get("UP", name),    file.get("DOWN", name)};
            _world.putLocation(std::make_shared<Location>(name, descr ? descr : describe("", name),
                                                          longDescr, std::move(exits)));
            return Entry{name, nullptr};
        });
    }
}

// ---- Action sets, messages and events ----

void Loader::fillActionSet() {
    Log::writeG(ENTITY, Log::INFO, T::LoadingActionSet);
    auto move = std::make_shared<Move>();
    for (const char* verb :
         {Word::NORTH, Word::SOUTH, Word::EAST, Word::WEST, Word::UP, Word::DOWN})
        _world.bind(std::string("*:") + verb, move);
    _world.bind("*:CARICA", std::make_shared<Load>());
    _world.bind("*:SALVA", std::make_shared<Save>());
    _world.bind("*:BASTA", std::make_shared<Quit>());
    auto look = std::make_shared<Look>();
    _world.bind("*:GUARDA", look);
    _world.bind("*:GUARDA:*", look);
    _world.bind("*:PRENDI:*", std::make_shared<ItemTake>());
    _world.bind("*:LASCIA:*", std::make_shared<ItemDrop>());
    _world.bind("*:COSA", std::make_shared<What>());
    auto wait = std::make_shared<Wait>();
    wait->setMillisec(500);
    _world.bind("*:ATTENDI", wait);
    auto tell = std::make_shared<Tell>();
    _world.bind("*:PARLA", tell);
    _world.bind("*:PARLA:*", tell);
    fillEmbeddedActionSet(*_map, World::MAP_EMBEDDED_ACTIONSET);
    fillEmbeddedActionSet(*_inventory, World::INVENTORY_EMBEDDED_ACTIONSET);
    if (_actionset)
        fillEmbeddedActionSet(*_actionset, World::DEFAULT_ACTIONSET);
}

void Loader::fillEmbeddedActionSet(const Config& config, int type) {
    using Kind = Declaration::Kind;
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
            kind = World::DEFAULT_ACTIONSET;
        } else {
            owner = section;
        }
        std::string prefix = owner.empty() ? "" : owner + "/";
        auto each = [&](Kind declared, const std::string& part, auto fill) {
            std::string attached = prefix + part;
            for (const auto& name : config.variables(attached))
                declare(
                    {declared, fileName(config), config.line(name, attached), attached, name},
                    [&] { return (this->*fill)(name, config.get(name, attached), kind, owner); });
        };
        each(Kind::Binding, "ACTIONS", &Loader::fillAction);
        each(Kind::Message, "MESSAGES", &Loader::fillMessage);
        each(Kind::Event, "EVENTS", &Loader::fillEvent);
    }
}

Loader::Entry Loader::fillAction(const std::string& name, const std::string& text, int type,
                                 const std::string& owner) {
    IntRef mask;
    std::string key = _world.tokenizeAction(name, &mask, type, owner);
    auto action = std::make_shared<Description>(_parser, text, true);
    action->setItemCheckMask(mask.ref);
    _world.bind(key, action);
    return {key, action};
}

Loader::Entry Loader::fillMessage(const std::string& name, const std::string& text, int,
                                  const std::string&) {
    std::string key = normalise(name);
    if (_world.hasMessage(key))
        throw MessageDeclarationException(key);
    auto message = std::make_shared<Description>(_parser, text);
    _world.putMessage(key, message);
    return {key, message};
}

Loader::Entry Loader::fillEvent(const std::string& name, const std::string& text, int type,
                                const std::string& owner) {
    std::string declaration = normalise(name);
    auto handler = std::make_shared<Description>(_parser, text);
    auto parts = Util::split(declaration, ':');
    auto words = Util::split(parts[0], '-');
    if (words.size() < 2 || words.size() > 3)
        throw EventDeclarationException(declaration);
    for (auto& word : words)
        word = normalise(word);
    const std::string& part1 = words[0];
    if (!EventTable::shapeOf(part1, words[1])) {
        Log::writeG(ENTITY, Log::WARN, T::UnknownEventType + declaration + T::QuoteEnd);
        return {};
    }
    auto partAt = [&](std::size_t i) { return i < parts.size() ? normalise(parts[i]) : ""; };
    std::string location, item;
    if (type == World::MAP_EMBEDDED_ACTIONSET) {
        location = owner;
        item = partAt(1);
    } else if (type == World::INVENTORY_EMBEDDED_ACTIONSET) {
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
    _world.putEvent(key, handler);
    return {key, handler};
}

std::string Loader::tokenizeEvent(const std::string& declaration, const std::string& part1,
                                  const std::string& part2, const std::string& part3,
                                  const std::string& location, const std::string& item) {
    std::string type = part1 + "-" + part2 + (part3.empty() ? "" : "-" + part3);
    auto shape = EventTable::shapeOf(part1, part2);
    auto key = shape ? EventTable::key(type, *shape, item, location) : std::nullopt;
    if (!key)
        throw EventDeclarationException(declaration);
    return *key;
}

} // namespace zanfir
