#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zanfir {

class Action;
class Description;
class IntRef;
class Item;
class Location;
class User;
class Word;

// The loaded world: the dictionary, the places and items, the bindings,
// messages and event handlers. The loader fills it at start-up; afterwards
// only the players come and go (as items and item words) and word objects
// are made on first use. Every table is guarded by one reader-writer lock,
// a leaf: nothing else is locked while it is held, so lookups run in
// parallel and never wait on a session.
class World {
public:
    static constexpr char OPTIONAL_ITEM_BEGIN = '[';
    static constexpr char OPTIONAL_ITEM_END = ']';
    // Where a binding is declared, which decides its key.
    static constexpr int DEFAULT_ACTIONSET = 0;
    static constexpr int MAP_EMBEDDED_ACTIONSET = 1;
    static constexpr int INVENTORY_EMBEDDED_ACTIONSET = 2;

    World() = default;
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Lookups: names are trimmed and upper-cased. The first three throw
    // LocationNotFoundException, ItemNotFoundException and, for an item that
    // is no player, TypeMismatchException.
    std::shared_ptr<Location> getLocation(const std::string& name) const;
    std::shared_ptr<Item> getItem(const std::string& name) const;
    // The item of that name, or none.
    std::shared_ptr<Item> findItem(const std::string& name) const;
    std::shared_ptr<User> getUser(const std::string& name) const;
    bool existItem(const std::string& name) const;
    // Every item, players included, in the order they came.
    std::vector<std::shared_ptr<Item>> getItems() const;
    // The items of those names (upper case), in the same order; with the
    // generation of the items they were found in.
    std::vector<std::shared_ptr<Item>> getItems(const std::vector<std::string>& names,
                                                std::uint64_t* generation = nullptr) const;
    // Changes whenever an item comes or goes (players log in and out).
    std::uint64_t generation() const { return _generation; }
    // Throws MessageNotFoundException.
    std::shared_ptr<Description> getMessage(const std::string& name) const;
    // The handler of an event key, or none.
    std::shared_ptr<Description> getEvent(const std::string& key) const;
    // Whether any handler is declared for an event type (upper case).
    bool hasEvents(const std::string& type) const;
    // The action bound to location:rest, or none.
    std::shared_ptr<Action> getAction(const std::string& location, const std::string& rest) const;
    // Whether the set of an entity binds the verb with that many words.
    bool hasBindings(const std::string& entity, const std::string& verb, int words) const;

    // Dictionary. getVerb and getWord normalise their argument and keep the
    // word objects; the other queries take upper-case words as they are.
    std::shared_ptr<Word> getVerb(const std::string& word);
    std::shared_ptr<Word> getWord(const std::string& word);
    std::string blankIfIgnorable(const std::string& word) const;
    bool isVerbWord(const std::string& word) const;
    bool isItemWord(const std::string& word) const;
    bool isAdverbWord(const std::string& word) const;
    // ITEM_WORD, ADVERB_WORD or 0; never VERB_WORD.
    int getWordKind(const std::string& word) const;
    // The canonical word of a synonym; none for an unknown kind. Throws
    // VerbNotFoundException or WordNotFoundException for an unknown word.
    std::optional<std::string> resolveSynonym(const std::string& word, int kind) const;
    // The binding key of a declaration of the given kind and owner; the mask
    // receives its item check mask when given. Throws
    // ActionDeclarationException and VerbNotFoundException.
    std::string tokenizeAction(const std::string& declaration, IntRef* mask = nullptr,
                               int type = DEFAULT_ACTIONSET, const std::string& owner = "") const;
    // The verbs every adventure has, canonical words.
    static const std::vector<std::string>& builtInVerbs();

    // Filling.
    void putIgnoreWord(const std::string& word);
    // A word of that kind (VERB_WORD, ITEM_WORD, ADVERB_WORD) meaning
    // `canonical`; a later meaning replaces an earlier one.
    void putWord(int kind, const std::string& word, const std::string& canonical);
    // An item, last in the order; it replaces an item of its name.
    void putItem(const std::shared_ptr<Item>& item);
    // A player: an item whose name is also an item word.
    void putPlayer(const std::shared_ptr<User>& player);
    // Takes a player's item and word away, unless they are another player's
    // by now (a player of the same name who logged in later).
    void removePlayer(const std::shared_ptr<User>& player);
    void putLocation(const std::shared_ptr<Location>& location);
    // A later binding of the same key replaces the earlier one.
    void bind(const std::string& key, std::shared_ptr<Action> action);
    bool hasMessage(const std::string& name) const;
    // Throws MessageDeclarationException for a name declared before.
    void putMessage(const std::string& name, std::shared_ptr<Description> message);
    // Throws EventDeclarationException for a key declared before.
    void putEvent(const std::string& key, std::shared_ptr<Description> handler);

private:
    template <class Value>
    using Table = std::unordered_map<std::string, Value>;

    // The words of a kind, none for another kind; const as the world is.
    template <class Self>
    static auto wordTable(Self& world, int kind) -> decltype(&world._verb_words);

    Table<std::string> _ignore_words;
    Table<std::string> _verb_words;
    Table<std::string> _item_words;
    Table<std::string> _adverb_words;
    Table<std::shared_ptr<Location>> _locations;
    Table<std::shared_ptr<Word>> _verbs;
    Table<std::shared_ptr<Word>> _words;
    Table<std::shared_ptr<Item>> _items;
    std::vector<std::shared_ptr<Item>> _item_list; // _items in the order they came
    std::atomic<std::uint64_t> _generation{0};     // changed under the lock
    Table<std::shared_ptr<Action>> _actions;
    std::unordered_set<std::string> _binding_shapes; // entity:verb:number of words
    Table<std::shared_ptr<Description>> _messages;
    Table<std::shared_ptr<Description>> _events;
    std::unordered_set<std::string> _event_types; // of the keys of _events
    mutable std::shared_mutex _lock;
};

} // namespace zanfir
