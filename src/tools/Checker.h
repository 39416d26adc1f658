#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/Main.h"
#include "language/ActionVisitor.h"
#include "util/FilePlace.h"
#include "world/LoadListener.h"

namespace zanfir {

class Action;
class Config;
class VariableCheck;

// Loads an adventure without playing it and finds what would go wrong in a
// game: names of places, items, words and messages that nothing declares,
// references no binding serves, items that are nowhere, places no exit
// reaches, variables of an item or a place that the game never reads, an
// else that its if swallows, words that are ignored and meant at once. It
// follows the load as its listener: the loader's own errors are findings
// too, with the place of each declaration, and loading goes on after them.
// The texts it loaded are then walked action by action.
class Checker : public LoadListener, private ActionVisitor {
public:
    // Where a finding stands.
    using Where = FilePlace;
    struct Finding {
        bool error; // false: a warning
        Where where;
        std::string text;
    };

    // Reads the main file `name`.zanfa in `path`; throws what Config throws.
    Checker(const std::string& name, const std::optional<std::string>& path);
    ~Checker() override;

    // Where a section of a file stands, or a variable of the section (of
    // the top level, without a section).
    static Where place(const Config& file, const std::string& section,
                       const std::string& variable = "");

    // Loads the world and checks it; the findings file by file, each file's
    // line by line.
    const std::vector<Finding>& check();
    int errors() const;
    int warnings() const;

    bool admit(const Declaration& declaration) override;
    void loaded(const Declaration& declaration) override;
    void failed(const Declaration& declaration, const Exception& error) override;

private:
    // A text of the adventure, as the loader parsed it, and where it stands.
    struct Text {
        Where where;
        std::shared_ptr<Action> action;
        std::string source; // as written
    };

    void visit(const ActionRef& ref) override;
    void visit(const IfThen& condition) override;
    void visit(const ItemDrop& drop) override;
    void visit(const ItemGoTo& move) override;
    void visit(const ItemHide& hide) override;
    void visit(const ItemTake& take) override;
    void visit(const MsgPrint& print) override;
    void visit(const VarInc& increment) override;
    void visit(const VarSet& assignment) override;

    // Everything after the load, when the files could be read.
    void checkWorld();
    void error(const Where& where, const std::string& text);
    void warning(const Where& where, const std::string& text);
    bool isLocation(const std::string& name) const;
    const Config* file(const char* extension) const;
    std::string fileName(const char* extension) const;
    // Parses a text the loader does not read (the beginning's), keeping it
    // for the walk.
    void parse(const Where& where, const std::string& text);
    void checkSections(const Config& file, const std::set<std::string>& known, bool owners);
    void checkBinding(const Where& where, const std::string& key);
    void checkEvent(const Where& where, const std::string& key);
    void checkReference(const Where& where, const std::string& ref);
    void checkCondition(const Where& where, const std::string& expression);
    // What the parser reads otherwise than written: an "else" that its if
    // swallows, a "}" that closes nothing.
    void checkText(const Where& where, const std::string& source);
    // The reason a declaration could not be loaded, in plain words where
    // they can be found.
    std::string explained(const Declaration& declaration, const Exception& failure) const;
    void checkVariables(const Config& file, const std::vector<std::string>& sections,
                        const std::vector<std::string>& known);
    void checkName(const Where& where, const std::string& name);
    void checkItem(const Where& where, const std::string& name);
    void checkPlaces();
    void checkItemsPlaced();
    void checkReachable();

    Main _main;
    std::vector<Finding> _findings;
    bool _broken = false; // a file could not be read: nothing more is checked
    std::map<std::string, std::shared_ptr<const Config>> _files; // by extension
    std::vector<Text> _texts;
    std::vector<Text> _descriptions; // of items and places
    std::vector<Finding> _description_errors;
    Where _where;                                    // of the text being walked
    std::vector<std::vector<std::string>> _bindings; // keys split at ":"
    std::map<std::string, Where> _declared_messages;
    std::set<std::string> _used_messages;
    std::set<std::string> _moved_items;
    std::set<std::string> _goto_targets;
    std::unique_ptr<VariableCheck> _variable_check;        // of the players' variables
    std::vector<std::pair<std::string, Where>> _map_items; // that only the map lists
};

} // namespace zanfir
