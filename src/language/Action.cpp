#include "language/Action.h"

#include "T.h"
#include "engine/Adventure.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "util/Util.h"
#include "world/Phrase.h"
#include "world/StateKeys.h"

namespace zanfir {

namespace {

std::atomic<std::uint64_t> next_id{1};

// A level of the session's nesting while an action runs.
struct Nesting {
    explicit Nesting(int& depth) : depth(depth) {
        if (depth >= Action::MAX_DEPTH)
            throw Exception(T::NestingTooDeep);
        ++depth;
    }
    ~Nesting() { --depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    int& depth;
};

bool isPresent(Adventure& session, Item& item) {
    return session.isItemPresent(item) && !session.isItemHidden(item);
}

} // namespace

Action::Action() : _id(next_id++) {}

bool Action::start(const Execution& now) {
    ActionState& state = now.session.actionState();
    if (state.steps_left == 0)
        throw CommandStoppedException(std::to_string(state.steps_budget) + T::StepsLimit);
    if (state.steps_left > 0)
        --state.steps_left;
    Nesting level(state.depth);
    return run(now);
}

void Action::print(const Execution& now, const std::string& text) {
    if (!isSilent(now))
        now.session.print(text);
}

void Action::println(const Execution& now, const std::string& text) {
    if (!isSilent(now))
        now.session.println(text);
}

void Action::print(const Execution& now, Description& description) {
    now.session.print(description);
}

void Action::println(const Execution& now, Description& description) {
    now.session.println(description);
}

void Action::println(const Execution& now, const std::string& before, Description& description,
                     const std::string& after) {
    now.session.println(before, description, after);
}

std::string Action::readln(const Execution& now, const std::string& prompt) {
    return now.session.readln(prompt);
}

bool Action::checkItems(const Execution& now, int mask) {
    const Phrase* phrase = now.phrase.get();
    int count = phrase ? phrase->items() : 0;
    bool ok = true;
    for (int i = 0; i < count && i < 31 && ok; ++i)
        if (mask & (1 << i)) {
            auto item = now.session.findItem(phrase->itemAt(i));
            ok = item && isPresent(now.session, *item);
        }
    if (!ok)
        println(now, T::DontSeeItHere);
    return ok;
}

namespace {

// A player's variable as the trace shows it: a text in quotes, a number,
// TRUE or FALSE; "(nessun valore)" when unset.
std::string traced(const Execution& now, const std::string& variable) {
    auto value = now.context ? now.context->get(StateKeys::variable(variable)) : std::nullopt;
    if (!value)
        return T::TraceUnset;
    if (auto text = std::get_if<std::string>(&*value))
        return "'" + *text + "'";
    if (auto number = std::get_if<std::int32_t>(&*value))
        return std::to_string(*number);
    if (auto flag = std::get_if<bool>(&*value))
        return *flag ? "TRUE" : "FALSE";
    return "{...}";
}

} // namespace

std::string Action::traceBefore(const Execution& now, const std::string& variable) {
    return Debug::isOnG() ? traced(now, variable) : "";
}

void Action::traceChange(const Execution& now, const std::string& variable,
                         const std::string& before) {
    if (Debug::isOnG())
        Debug::stepG(T::TraceVariable + Util::toUpper(variable) + ": " + before + T::TraceChange +
                     traced(now, variable));
}

void Action::refreshVariables(const Execution& now) {
    if (now.context)
        now.context->appendFromNested(StateKeys::variables());
}

} // namespace zanfir
