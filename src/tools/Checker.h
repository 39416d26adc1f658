#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Main.h"

namespace zanfir {

class Action;
class Config;
class Exception;

// Loads an adventure without playing it and finds what would go wrong in a
// game: names of places, items, words and messages that nothing declares,
// references no binding serves, items that are nowhere, places no exit
// reaches. The loader's own errors are findings too, and loading goes on
// after them.
class Checker : public Main {
public:
    struct Finding {
        bool error;        // false: a note
        std::string where; // file [SECTION] VARIABLE
        std::string text;
    };

    // Reads the main file `name`.zanfa in `path`; throws what Config throws.
    Checker(const std::string& name, const std::optional<std::string>& path);

    // Loads the world and checks it; the findings in the order found.
    const std::vector<Finding>& check();
    int errors() const;
    int notes() const;

protected:
    void fillInventory() override;
    void fillMap() override;
    void fillEmbeddedActionSet(const Config& config, int type) override;
    void fillAction(const std::string& name, const std::string& text, int type,
                    const std::string& owner) override;
    void fillMessage(const std::string& name, const std::string& text, int type,
                     const std::string& owner) override;
    void fillEvent(const std::string& name, const std::string& text, int type,
                   const std::string& owner) override;
    std::shared_ptr<Description> describe(const std::string& text,
                                          const std::string& name) override;
    std::string tokenizeEvent(const std::string& declaration, const std::string& part1,
                              const std::string& part2, const std::string& part3,
                              const std::string& location, const std::string& item) override;

private:
    // A text of the adventure, as the loader parsed it, and where it stands.
    struct Text {
        std::string where;
        std::shared_ptr<Action> action;
    };

    void error(const std::string& where, const std::string& text);
    void note(const std::string& where, const std::string& text);
    std::string fileName(const Config& config) const;
    bool isLocation(const std::string& name) const;
    // Parses a description the loader read without its place (an item's,
    // a place's, the beginning's), keeping it for the walk.
    void parse(const std::string& where, const std::string& text);
    void readDescriptions(const Config& file, const std::vector<std::string>& variables);
    void checkSections(const Config& file, const std::set<std::string>& known, bool owners);
    void checkBinding(const std::string& where, const std::string& key);
    void checkEvent(const std::string& where, const std::string& key);
    void walk(const std::string& where, const Action* action);
    void checkReference(const std::string& where, const std::string& ref);
    void checkCondition(const std::string& where, const std::string& expression);
    void checkName(const std::string& where, const std::string& name);
    void checkItem(const std::string& where, const std::string& name);
    void checkPlaces();
    void checkItemsPlaced();
    void checkReachable();

    std::vector<Finding> _findings;
    std::shared_ptr<Config> _files[4]; // dictionary, inventory, map, action set
    std::string _file;                 // the file being loaded
    std::string _event_key;            // the key of the event being declared
    std::vector<Text> _texts;
    std::vector<std::vector<std::string>> _bindings;       // keys split at ":"
    std::map<std::string, std::string> _declared_messages; // name: where
    std::set<std::string> _used_messages;
    std::set<std::string> _moved_items;
    std::set<std::string> _goto_targets;
};

} // namespace zanfir
