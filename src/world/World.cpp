#include "world/World.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "T.h"
#include "language/Description.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/ref/IntRef.h"
#include "util/Util.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/User.h"
#include "world/Word.h"

namespace zanfir {

namespace {

constexpr const char* ENTITY = "Main"; // the log names the engine

std::string normalise(const std::string& name) {
    return Util::toUpper(Util::trim(name));
}

// The key a lookup takes: the name itself when it is trimmed and upper-cased
// already, as the names from the tables and the state are; else its normal
// form, made in `normal`.
const std::string& keyOf(const std::string& name, std::string& normal) {
    return Util::isTrimmedUpper(name) ? name : (normal = normalise(name));
}

} // namespace

// ---- Lookups ----

std::shared_ptr<Location> World::getLocation(const std::string& name) const {
    std::string normal;
    const std::string& key = keyOf(name, normal);
    std::shared_lock guard(_lock);
    auto found = _locations.find(key);
    if (found == _locations.end())
        throw LocationNotFoundException(key);
    return found->second;
}

std::shared_ptr<Item> World::getItem(const std::string& name) const {
    std::string normal;
    const std::string& key = keyOf(name, normal);
    std::shared_lock guard(_lock);
    auto found = _items.find(key);
    if (found == _items.end())
        throw ItemNotFoundException(key);
    return found->second;
}

std::shared_ptr<Item> World::findItem(const std::string& name) const {
    std::string normal;
    const std::string& key = keyOf(name, normal);
    std::shared_lock guard(_lock);
    auto found = _items.find(key);
    return found == _items.end() ? nullptr : found->second;
}

std::shared_ptr<User> World::getUser(const std::string& name) const {
    auto user = std::dynamic_pointer_cast<User>(getItem(name));
    if (!user)
        throw TypeMismatchException(normalise(name));
    return user;
}

bool World::existItem(const std::string& name) const {
    std::string normal;
    const std::string& key = keyOf(name, normal);
    std::shared_lock guard(_lock);
    return _items.count(key) > 0;
}

std::vector<std::shared_ptr<Item>> World::getItems() const {
    std::shared_lock guard(_lock);
    return _item_list;
}

std::vector<std::shared_ptr<Item>> World::getItems(const std::vector<std::string>& names,
                                                   std::uint64_t* generation) const {
    std::vector<std::shared_ptr<Item>> items;
    {
        std::shared_lock guard(_lock);
        if (generation)
            *generation = _generation;
        for (const auto& name : names)
            if (auto found = _items.find(name); found != _items.end())
                items.push_back(found->second);
    }
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a->order() < b->order(); });
    return items;
}

std::shared_ptr<Description> World::getMessage(const std::string& name) const {
    std::string normal;
    const std::string& key = keyOf(name, normal);
    std::shared_lock guard(_lock);
    auto found = _messages.find(key);
    if (found == _messages.end())
        throw MessageNotFoundException(key);
    return found->second;
}

std::shared_ptr<Description> World::getEvent(const std::string& key) const {
    std::string normal;
    const std::string& lookup = keyOf(key, normal);
    std::shared_lock guard(_lock);
    auto found = _events.find(lookup);
    return found == _events.end() ? nullptr : found->second;
}

bool World::hasEvents(const std::string& type) const {
    std::shared_lock guard(_lock);
    return _event_types.contains(type);
}

std::shared_ptr<Action> World::getAction(const std::string& location,
                                         const std::string& rest) const {
    std::string key = normalise(location) + ":" + normalise(rest);
    std::shared_lock guard(_lock);
    auto found = _actions.find(key);
    return found == _actions.end() ? nullptr : found->second;
}

bool World::hasBindings(const std::string& entity, const std::string& verb, int words) const {
    std::string shape = normalise(entity) + ":" + verb + ":" + std::to_string(words);
    std::shared_lock guard(_lock);
    return _binding_shapes.count(shape) > 0;
}

// ---- Dictionary ----

// A word is made once, under the writer's lock; every later look finds it
// under the readers' lock, which commands share.
std::shared_ptr<Word> World::getVerb(const std::string& word) {
    std::string key = normalise(word);
    {
        std::shared_lock guard(_lock);
        if (auto found = _verbs.find(key); found != _verbs.end())
            return found->second;
    }
    std::unique_lock guard(_lock);
    if (auto found = _verbs.find(key); found != _verbs.end())
        return found->second;
    if (!_verb_words.count(key))
        throw VerbNotFoundException(key);
    return _verbs[key] = std::make_shared<Word>(key, Word::VERB_WORD);
}

std::shared_ptr<Word> World::getWord(const std::string& word) {
    std::string key = normalise(word);
    {
        std::shared_lock guard(_lock);
        if (auto found = _words.find(key); found != _words.end())
            return found->second;
    }
    std::unique_lock guard(_lock);
    if (auto found = _words.find(key); found != _words.end())
        return found->second;
    int kind = _item_words.count(key)     ? Word::ITEM_WORD
               : _adverb_words.count(key) ? Word::ADVERB_WORD
                                          : 0;
    if (kind == 0)
        throw WordNotFoundException(key);
    return _words[key] = std::make_shared<Word>(key, kind);
}

std::string World::blankIfIgnorable(const std::string& word) const {
    std::shared_lock guard(_lock);
    return _ignore_words.count(word) ? "" : word;
}

bool World::isVerbWord(const std::string& word) const {
    std::shared_lock guard(_lock);
    return _verb_words.count(word) > 0;
}

bool World::isItemWord(const std::string& word) const {
    std::shared_lock guard(_lock);
    return _item_words.count(word) > 0;
}

bool World::isAdverbWord(const std::string& word) const {
    std::shared_lock guard(_lock);
    return _adverb_words.count(word) > 0;
}

int World::getWordKind(const std::string& word) const {
    return isItemWord(word) ? Word::ITEM_WORD : isAdverbWord(word) ? Word::ADVERB_WORD : 0;
}

template <class Self>
auto World::wordTable(Self& world, int kind) -> decltype(&world._verb_words) {
    switch (kind) {
    case Word::VERB_WORD:
        return &world._verb_words;
    case Word::ITEM_WORD:
        return &world._item_words;
    case Word::ADVERB_WORD:
        return &world._adverb_words;
    default:
        return nullptr;
    }
}

std::optional<std::string> World::resolveSynonym(const std::string& word, int kind) const {
    const Table<std::string>* table = wordTable(*this, kind);
    if (!table)
        return std::nullopt;
    std::shared_lock guard(_lock);
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
    if (kind == Word::VERB_WORD)
        throw VerbNotFoundException(word);
    throw WordNotFoundException(word);
}

std::string World::tokenizeAction(const std::string& declaration, IntRef* mask, int type,
                                  const std::string& owner) const {
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
    std::string key = location + ":" + *resolveSynonym(parts[next - 1], Word::VERB_WORD);
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
        if (part == Word::ANY_WORD) {
            ++index; // "*" stands for an item of the phrase: bits follow the phrase's items
        } else if (int kind = getWordKind(part)) {
            part = *resolveSynonym(part, kind);
            if (kind == Word::ITEM_WORD) {
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
        key += ":" + (isItemWord(owner) ? *resolveSynonym(owner, Word::ITEM_WORD) : owner);
        requireItem();
    }
    if (mask)
        mask->ref = bits;
    return key;
}

const std::vector<std::string>& World::builtInVerbs() {
    static const std::vector<std::string> verbs{Word::NORTH, Word::SOUTH, Word::EAST, Word::WEST,
                                                Word::UP,    Word::DOWN,  Word::LOAD, Word::SAVE,
                                                Word::QUIT,  Word::WHAT,  Word::TAKE, Word::DROP,
                                                Word::LOOK,  Word::WAIT,  Word::TELL};
    return verbs;
}

// ---- Filling ----

void World::putIgnoreWord(const std::string& word) {
    std::unique_lock guard(_lock);
    _ignore_words[word] = "";
}

void World::putWord(int kind, const std::string& word, const std::string& canonical) {
    Table<std::string>* table = wordTable(*this, kind);
    std::unique_lock guard(_lock);
    if (table)
        (*table)[word] = canonical;
}

void World::putItem(const std::shared_ptr<Item>& item) {
    static std::atomic<std::uint64_t> arrivals{0};
    item->setOrder(++arrivals);
    std::unique_lock guard(_lock);
    auto& slot = _items[item->name()];
    if (slot)
        std::erase(_item_list, slot);
    slot = item;
    _item_list.push_back(item);
    ++_generation;
}

void World::putPlayer(const std::shared_ptr<User>& player) {
    putItem(player);
    std::unique_lock guard(_lock);
    _item_words[player->name()] = player->name();
}

void World::removePlayer(const std::shared_ptr<User>& player) {
    std::unique_lock guard(_lock);
    auto found = _items.find(player->name());
    if (found == _items.end() || found->second != player)
        return;
    _items.erase(found);
    std::erase(_item_list, player);
    ++_generation;
    _item_words.erase(player->name());
}

void World::putLocation(const std::shared_ptr<Location>& location) {
    std::unique_lock guard(_lock);
    _locations[location->name()] = location;
}

void World::bind(const std::string& key, std::shared_ptr<Action> action) {
    auto parts = Util::split(key, ':');
    std::unique_lock guard(_lock);
    _actions[key] = std::move(action);
    _binding_shapes.insert(parts[0] + ":" + parts[1] + ":" + std::to_string(parts.size() - 2));
}

bool World::hasMessage(const std::string& name) const {
    std::shared_lock guard(_lock);
    return _messages.count(name) > 0;
}

void World::putMessage(const std::string& name, std::shared_ptr<Description> message) {
    std::unique_lock guard(_lock);
    if (!_messages.emplace(name, std::move(message)).second)
        throw MessageDeclarationException(name);
}

void World::putEvent(const std::string& key, std::shared_ptr<Description> handler) {
    std::unique_lock guard(_lock);
    if (!_events.emplace(key, std::move(handler)).second)
        throw EventDeclarationException(key);
    _event_types.insert(key.substr(0, key.find(':')));
}

} // namespace zanfir
