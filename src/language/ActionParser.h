#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Action;

// What turns a text of the action language into actions. Descriptions and
// the loader parse through it, once, at load time.
class ActionParser {
public:
    // The delimiters of the language.
    static constexpr char ACTION_BEGIN = '{';
    static constexpr char ACTION_BREAK = ';';
    static constexpr char ACTION_END = '}';

    virtual ~ActionParser() = default;

    // The action of a text, whose parent is `parent`; none for an empty
    // text. Throws Exception and ActionSyntaxException.
    virtual std::shared_ptr<Action> parseAction(const std::string& text,
                                                Action* parent = nullptr) = 0;
};

} // namespace zanfir
