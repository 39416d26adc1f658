#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zanfir {

class ActionParser;
class Config;
class Description;
class Exception;
class LoadListener;
class World;
struct Declaration;

// Reads an adventure's definition files and builds its world: the
// dictionary, the inventory, the map, then the bindings, messages and event
// handlers of all three files and of the action set. A listener, when given,
// hears of every declaration with the file and line it came from, and may
// take the failures so that loading goes on after them.
class Loader {
public:
    // `main` is the adventure's main file: the others are found beside it,
    // under its name. In a shared world no item starts in the players' hands.
    Loader(World& world, ActionParser& parser, const Config& main, const std::string& name,
           bool multiuser);
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    // Reads the four files (the action set may be missing), then fills the
    // world. Throws what the reading and the declarations throw, unless the
    // listener takes the failures; a file that could not be read then ends
    // the load once every file was tried, before anything is built.
    void load(LoadListener* listener = nullptr);

    void fillDictionary();
    void fillInventory();
    void fillMap();
    void fillActionSet();
    // The bindings, messages and events of one file, whose sections
    // attached to items or places have the given embed type.
    void fillEmbeddedActionSet(const Config& config, int type);
    // What one declaration put into the world: its key in its table and what
    // it runs; no key when it was left out.
    struct Entry {
        std::string key;
        std::shared_ptr<Description> action;
    };
    Entry fillAction(const std::string& name, const std::string& text, int type,
                     const std::string& owner);
    Entry fillMessage(const std::string& name, const std::string& text, int type,
                      const std::string& owner);
    Entry fillEvent(const std::string& name, const std::string& text, int type,
                    const std::string& owner);
    // The key of an event declaration, from the words of its type and the
    // item and place it names. Throws EventDeclarationException.
    std::string tokenizeEvent(const std::string& declaration, const std::string& part1,
                              const std::string& part2, const std::string& part3,
                              const std::string& location, const std::string& item);
    // The description of an item or place named `name`: its text, or the
    // name in quotes for an empty text.
    std::shared_ptr<Description> describe(const std::string& text, const std::string& name);

    // The elements of a comma-separated list, trimmed and upper-cased; empty
    // elements are skipped.
    static std::vector<std::string> splitList(const std::string& list);
    // The sections of a definition file naming items or places, each once,
    // in file order.
    static std::vector<std::string> definitionSections(const Config& config);
    // The variables that an item's and a place's section may hold: the
    // loader reads no others there.
    static const std::vector<std::string>& itemVariables();
    static const std::vector<std::string>& locationVariables();

private:
    // The file `name` + extension beside the main file; none when it is
    // optional and missing, or when the listener took its failure.
    std::shared_ptr<const Config> read(const std::string& extension, bool optional = false);
    // Loads one declaration through `work`, which gives its entry, and tells
    // the listener.
    template <class Work>
    void declare(Declaration declaration, Work work);
    // The description an item or place declares in `variable`; none when it
    // declares none.
    std::shared_ptr<Description> declaredText(const Config& file, const std::string& name,
                                              const std::string& variable);
    void putWords(int kind, const std::string& section);

    World& _world;
    ActionParser& _parser;
    const Config& _main;
    std::string _name;
    bool _multiuser;
    LoadListener* _listener = nullptr;
    std::shared_ptr<const Config> _map;
    std::shared_ptr<const Config> _dictionary;
    std::shared_ptr<const Config> _inventory;
    std::shared_ptr<const Config> _actionset;
    bool _unreadable = false; // a file failed and the listener took it
};

} // namespace zanfir
