#pragma once

#include <memory>
#include <string>
#include <vector>

#include "language/ActionParser.h"

namespace zanfir {

class World;

// The parser of the action language. A text is split into commands at ";"
// and after each braced block; each command is then tried against the rows
// of the command table, in order, by a test on its lower-cased text, and
// the first row that matches builds its action. The order is part of the
// language: "DIETRO.take" is a die command. Adding a command is one row,
// in CommandTable.cpp; the registry of action classes that commands may name
// by their qualified name is made from the same rows.
class CommandTable : public ActionParser {
public:
    // The package of the qualified class names.
    static constexpr const char* PACKAGE = "com.brisolcorp.zanfir.adventure.action.";

    // The world's dictionary resolves the keys of references (@key).
    explicit CommandTable(const World& world) : _world(world) {}

    std::shared_ptr<Action> parseAction(const std::string& text, Action* parent = nullptr) override;
    // The commands of a text as parseAction reads them: the text inside its
    // braces when it starts with "{", split where ";" or a braced block ends
    // a command. Throws Exception for a "{" without its "}".
    static std::vector<std::string> split(const std::string& text);
    // A new action of the class registered under a qualified name; throws
    // Exception for a name no class has.
    static std::shared_ptr<Action> instantiate(const std::string& name);

private:
    // One command, its errors wrapped with it.
    std::shared_ptr<Action> parseCommand(const std::string& command);

    const World& _world;
};

} // namespace zanfir
