#include "language/CommandTable.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <functional>
#include <unordered_map>
#include <vector>

#include "T.h"
#include "language/Expression.h"
#include "language/action/ActionRef.h"
#include "language/action/Again.h"
#include "language/action/Die.h"
#include "language/action/IfElse.h"
#include "language/action/IfThen.h"
#include "language/action/ItemDrop.h"
#include "language/action/ItemGive.h"
#include "language/action/ItemGoTo.h"
#include "language/action/ItemHide.h"
#include "language/action/ItemTake.h"
#include "language/action/Load.h"
#include "language/action/Look.h"
#include "language/action/Move.h"
#include "language/action/MsgPrint.h"
#include "language/action/MultiAction.h"
#include "language/action/Pause.h"
#include "language/action/Quit.h"
#include "language/action/Save.h"
#include "language/action/Tell.h"
#include "language/action/Undo.h"
#include "language/action/VarInc.h"
#include "language/action/VarSet.h"
#include "language/action/Wait.h"
#include "language/action/What.h"
#include "runtime/Errors.h"
#include "util/Util.h"
#include "world/World.h"

namespace zanfir {

namespace {

// One command as a row sees it.
struct Command {
    const std::string& text;  // as written, trimmed: names and values keep their case
    const std::string& lower; // the keywords are matched here
    ActionParser& parser;     // for the branch of an if or else
    const World& world;
};

using Test = std::function<bool(const std::string& lower)>;
using Build = std::shared_ptr<Action> (*)(const Command& command);

struct Row {
    const char* class_name; // the action class it builds; none for the qualified name row
    Test test;              // none: the class has no command of its own
    Build build;
    std::shared_ptr<Action> (*make)(); // an action of the class, with no arguments
};

template <class Kind>
Row row(const char* name, Test test = nullptr, Build build = nullptr) {
    return {name, std::move(test), build,
            []() -> std::shared_ptr<Action> { return std::make_shared<Kind>(); }};
}

// ---- Tests ----

Test startsWith(const char* keyword) {
    return [keyword](const std::string& lower) { return lower.starts_with(keyword); };
}

Test contains(const char* keyword) {
    return [keyword](const std::string& lower) { return lower.find(keyword) != std::string::npos; };
}

// The keyword is the whole command: no name that merely begins with it.
Test is(const char* keyword) {
    return [keyword](const std::string& lower) { return lower == keyword; };
}

// The keyword stands anywhere but first, as in "item.take".
Test after(const char* keyword) {
    return [keyword](const std::string& lower) {
        auto found = lower.find(keyword);
        return found != std::string::npos && found > 0;
    };
}

// Its first occurrence ends the command, as in "variable++".
Test endsWith(const char* op) {
    return [op](const std::string& lower) {
        auto found = lower.find(op);
        return found != std::string::npos && found + 2 == lower.size();
    };
}

bool isAssignment(const std::string& lower) {
    auto eq = lower.find('=');
    return eq != std::string::npos && eq > 0 && eq + 1 < lower.size();
}

// ---- Builders ----

std::shared_ptr<Action> noParameters(std::shared_ptr<Action> action, const Command& command,
                                     std::size_t length) {
    if (command.lower.size() > length)
        throw Exception(T::ParamsNotExpected);
    return action;
}

// The item or message before the first "." of a command, which must not
// be empty.
std::string nameBeforeDot(const Command& command, const char* reason) {
    std::string name = Util::trim(command.text.substr(0, command.text.find('.')));
    if (name.empty())
        throw Exception(reason);
    return name;
}

// Milliseconds of a number of seconds, which may have a fraction; below 0
// is 0 and beyond the 32-bit range the largest value.
std::int32_t milliseconds(const std::string& seconds) {
    double value = 0;
    auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
    if (seconds.empty() || error != std::errc() || end != seconds.data() + seconds.size() ||
        std::isnan(value))
        throw Exception(T::CantGetSecs);
    double ms = std::trunc(value * 1000);
    return ms <= 0 ? 0 : ms >= INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(ms);
}

std::shared_ptr<Action> reference(const Command& command) {
    auto ref = std::make_shared<ActionRef>();
    ref->setRef(command.world.tokenizeAction(Util::toUpper(command.text.substr(1))));
    return ref;
}

std::shared_ptr<Action> die(const Command& command) {
    return noParameters(std::make_shared<Die>(), command, 3);
}

std::shared_ptr<Action> end(const Command& command) {
    auto die = std::make_shared<Die>();
    die->setEndOnly(true);
    return noParameters(die, command, 3);
}

std::shared_ptr<Action> sleepFor(const Command& command) {
    auto wait = std::make_shared<Wait>();
    wait->setSilent(true);
    wait->setMillisec(milliseconds(Util::trim(command.text.substr(5))));
    return wait;
}

std::shared_ptr<Action> pauseHere(const Command& command) {
    return noParameters(std::make_shared<Pause>(), command, 5);
}

template <class Kind>
std::shared_ptr<Action> alone(const Command&) {
    return std::make_shared<Kind>();
}

std::shared_ptr<Action> ifThen(const Command& command) {
    const std::string& c = command.text;
    auto open = c.find(Expression::OP_BRA, 2);
    if (open == std::string::npos)
        throw Exception(T::ExpressionSyntaxError);
    long close = Util::matchBracket(c, open);
    if (close < 0)
        throw Exception(T::UnbalancedBrackets);
    std::string expression = Util::trim(c.substr(open, close - open + 1));
    std::string rest = Util::trim(c.substr(close + 1));
    if (expression.empty() || rest.empty())
        throw Exception(T::CantGetExprOrAction);
    auto condition = std::make_shared<IfThen>();
    condition->setExpression(expression);
    condition->setThenAction(command.parser.parseAction(rest, condition.get()));
    return condition;
}

std::shared_ptr<Action> ifElse(const Command& command) {
    std::string rest = Util::trim(command.text.substr(4));
    if (rest.empty())
        throw Exception(T::CantGetAction);
    auto otherwise = std::make_shared<IfElse>();
    otherwise->setElseAction(command.parser.parseAction(rest, otherwise.get()));
    return otherwise;
}

// print or println, then pieces joined by "+".
std::shared_ptr<Action> print(const Command& command) {
    auto print = std::make_shared<MsgPrint>();
    bool line = command.lower.starts_with("println");
    print->setLineFeed(line);
    for (const auto& piece : Util::split(command.text.substr(line ? 7 : 5), '+'))
        if (auto trimmed = Util::trim(piece); !trimmed.empty())
            print->addString(trimmed);
    return print;
}

// goto location, or item.goto location.
std::shared_ptr<Action> goTo(const Command& command) {
    const std::string& c = command.text;
    auto go = command.lower.find("goto");
    auto move = std::make_shared<ItemGoTo>();
    std::string location = Util::trim(c.substr(go + 4));
    if (location.empty())
        throw Exception(T::CantGetLocation);
    move->setLocation(location);
    auto dot = c.find('.');
    if (dot != std::string::npos && dot > 0 && dot < go)
        move->setItem(Util::trim(c.substr(0, dot)));
    return move;
}

std::shared_ptr<Action> goHere(const Command& command) {
    auto move = std::make_shared<ItemGoTo>();
    move->setItem(nameBeforeDot(command, T::CantGetItem));
    return move;
}

std::shared_ptr<Action> hide(const Command& command, bool hidden) {
    auto hide = std::make_shared<ItemHide>();
    hide->setItem(nameBeforeDot(command, T::CantGetItem));
    hide->setHide(hidden);
    return hide;
}

template <class Kind>
std::shared_ptr<Action> silently(const Command& command) {
    auto action = std::make_shared<Kind>();
    action->setItem(nameBeforeDot(command, T::CantGetItem));
    action->setSilent(true);
    return action;
}

// item.give player; either may be "*", the command's own.
std::shared_ptr<Action> give(const Command& command) {
    auto action = std::make_shared<ItemGive>();
    action->setItem(nameBeforeDot(command, T::CantGetItem));
    std::string receiver = Util::trim(command.text.substr(command.lower.find(".give") + 5));
    if (receiver.empty())
        throw Exception(T::CantGetReceiver);
    action->setReceiver(receiver);
    return action;
}

std::shared_ptr<Action> message(const Command& command, bool silent) {
    auto print = std::make_shared<MsgPrint>();
    print->setMessage(nameBeforeDot(command, T::CantGetMsgName));
    print->setSilent(silent);
    return print;
}

std::shared_ptr<Action> step(const Command& command, std::int32_t delta) {
    std::string variable = Util::trim(command.text.substr(0, command.text.size() - 2));
    if (variable.empty())
        throw Exception(T::CantGetVarName);
    auto increment = std::make_shared<VarInc>();
    increment->setVariable(variable);
    increment->setDelta(delta);
    return increment;
}

// variable = value, where the value may begin with "ask" or "random".
std::shared_ptr<Action> assign(const Command& command) {
    auto eq = command.text.find('=');
    std::string variable = Util::trim(command.text.substr(0, eq));
    std::string value = Util::trim(command.text.substr(eq + 1));
    if (variable.empty() || value.empty())
        throw Exception(T::CantGetVarNameOrValue);
    auto assign = std::make_shared<VarSet>();
    assign->setVariable(variable);
    std::string lower = Util::toLower(value);
    if (lower.starts_with("ask")) {
        assign->setAsk(true);
        value = Util::trim(value.substr(3));
    } else if (lower.starts_with("random")) {
        assign->setRandom(true);
        value = Util::trim(value.substr(6));
    }
    assign->setValue(value);
    return assign;
}

std::shared_ptr<Action> qualifiedName(const Command& command) {
    return CommandTable::instantiate(command.text);
}

// The commands, in the order they are tried.
const std::vector<Row>& commands() {
    static const std::vector<Row> rows = {
        row<ActionRef>("ActionRef", startsWith("@"), reference),
        row<Die>("Die", startsWith("die"), die),
        row<Die>("Die", startsWith("end"), end),
        row<Wait>("Wait", startsWith("sleep"), sleepFor),
        row<Pause>("Pause", startsWith("pause"), pauseHere),
        row<Undo>("Undo", is("undo"), alone<Undo>),
        row<Again>("Again", is("again"), alone<Again>),
        row<IfThen>("IfThen", startsWith("if"), ifThen),
        row<IfElse>("IfElse", startsWith("else"), ifElse),
        row<MsgPrint>("MsgPrint", startsWith("print"), print),
        row<ItemGoTo>("ItemGoTo", contains("goto"), goTo),
        row<ItemGoTo>("ItemGoTo", after(".gohere"), goHere),
        row<ItemHide>("ItemHide", after(".hide"), [](const Command& c) { return hide(c, true); }),
        row<ItemHide>("ItemHide", after(".unhide"),
                      [](const Command& c) { return hide(c, false); }),
        row<ItemTake>("ItemTake", after(".take"), silently<ItemTake>),
        row<ItemDrop>("ItemDrop", after(".drop"), silently<ItemDrop>),
        row<ItemGive>("ItemGive", after(".give"), give),
        row<MsgPrint>("MsgPrint", after(".print"),
                      [](const Command& c) { return message(c, false); }),
        row<MsgPrint>("MsgPrint", after(".exec"),
                      [](const Command& c) { return message(c, true); }),
        row<VarInc>("VarInc", endsWith("++"), [](const Command& c) { return step(c, 1); }),
        row<VarInc>("VarInc", endsWith("--"), [](const Command& c) { return step(c, -1); }),
        row<VarSet>("VarSet", isAssignment, assign),
        {nullptr, after("."), qualifiedName, nullptr},
        // Classes with no command of their own, named only by their qualified names.
        row<Load>("Load"),
        row<Look>("Look"),
        row<Move>("Move"),
        row<MultiAction>("MultiAction"),
        row<Quit>("Quit"),
        row<Save>("Save"),
        row<Tell>("Tell"),
        row<What>("What"),
    };
    return rows;
}

// The commands of a text: ";" ends a command, a braced block ends the
// command it closes. Throws for a "{" without its "}".
std::vector<std::string> splitCommands(const std::string& text) {
    std::vector<std::string> commands;
    std::string current;
    auto end = [&] {
        auto command = Util::trim(current);
        if (!command.empty())
            commands.push_back(std::move(command));
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ActionParser::ACTION_BREAK) {
            end();
        } else if (c == ActionParser::ACTION_BEGIN) {
            long close = Util::matchBracket(text, i);
            if (close < 0)
                throw Exception(T::UnbalancedBrackets);
            current.append(text, i, static_cast<std::size_t>(close) - i + 1);
            end();
            i = static_cast<std::size_t>(close);
        } else {
            current += c;
        }
    }
    end();
    return commands;
}

} // namespace

std::shared_ptr<Action> CommandTable::instantiate(const std::string& name) {
    static const auto registry = [] {
        std::unordered_map<std::string, std::shared_ptr<Action> (*)()> classes;
        for (const auto& each : commands())
            if (each.class_name)
                classes.emplace(std::string(PACKAGE) + each.class_name, each.make);
        return classes;
    }();
    auto found = registry.find(name);
    if (found == registry.end())
        throw Exception(T::CantFindClass);
    return found->second();
}

std::vector<std::string> CommandTable::split(const std::string& text) {
    std::string body = Util::trim(text);
    if (!body.empty() && body.front() == ACTION_BEGIN) {
        long close = Util::matchBracket(body, 0);
        if (close < 0)
            throw Exception(T::UnbalancedBrackets);
        body = Util::trim(body.substr(1, static_cast<std::size_t>(close) - 1));
    }
    return splitCommands(body);
}

std::shared_ptr<Action> CommandTable::parseAction(const std::string& text, Action* parent) {
    auto commands = split(text);
    std::shared_ptr<Action> result;
    if (commands.size() > 1) {
        auto sequence = std::make_shared<MultiAction>();
        for (const auto& command : commands)
            sequence->addAction(parseAction(command, sequence.get()));
        result = sequence;
    } else if (commands.size() == 1) {
        result = parseCommand(commands.front());
    }
    if (result)
        result->setParent(parent);
    return result;
}

std::shared_ptr<Action> CommandTable::parseCommand(const std::string& c) {
    const std::string l = Util::toLower(c);
    try {
        for (const auto& command : commands())
            if (command.test && command.test(l))
                return command.build({c, l, *this, _world});
        throw ActionSyntaxException(c, T::CantRecognizeCommand);
    } catch (const std::exception& error) {
        throw ActionSyntaxException(c, error.what());
    }
}

} // namespace zanfir
