#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace zanfir {

class Action;
class ActionVisitor;
class Adventure;
class Context;
class Description;
class Input;
class Item;
class Output;
class Phrase;

// What an action runs with, handed to it by whoever starts it and by it to
// every action it starts: the session, the view of the state that its
// conditions and prints read, and the phrase. The command's limits (how deep
// actions nest, the steps left) are the session's (`Adventure::actionState()`).
struct Execution {
    Execution(Adventure& session, std::shared_ptr<Context> context,
              std::shared_ptr<const Phrase> phrase, Action* parent = nullptr,
              std::optional<bool> silent = std::nullopt)
        : session(session), context(std::move(context)), phrase(std::move(phrase)), parent(parent),
          silent(silent) {}

    Adventure& session;
    std::shared_ptr<Context> context;
    std::shared_ptr<const Phrase> phrase;
    // Lent to the action started with it, for that run only (a reference, a
    // message print): another parent, another silent flag.
    Action* parent;
    std::optional<bool> silent;

    // The same session, view and phrase for an action this one starts.
    Execution next() const { return {session, context, phrase}; }
};

// The session's part of running actions.
struct ActionState {
    int depth = 0;
    // The starts the command's actions may still make; one more throws
    // CommandStoppedException. Negative: no limit.
    long steps_budget = -1;
    long steps_left = -1;
    // The result of the last if-command of each sequence.
    std::unordered_map<std::uint64_t, bool> ifs;
};

// An executable node of the action language. Action objects are shared by
// every session; what one execution needs is handed to it (Execution), so
// several sessions can run the same action at once.
class Action {
public:
    // Nested starts beyond this depth in one session fail with an Exception.
    static constexpr int MAX_DEPTH = 200;

    Action();
    virtual ~Action() = default;
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

    // The parent in the parsed tree; in a run, the one lent to it, if any.
    Action* getParent() const { return _parent; }
    Action* getParent(const Execution& now) const { return now.parent ? now.parent : _parent; }
    void setParent(Action* parent) { _parent = parent; }
    // The silent flag, or the one lent to this run.
    bool isSilent() const { return _silent; }
    bool isSilent(const Execution& now) const { return now.silent.value_or(_silent.load()); }
    void setSilent(bool flag) { _silent = flag; }

    // Counts a step and a level of nesting of the session's, and runs.
    bool start(const Execution& now);
    virtual bool run(const Execution& now) = 0;
    // Shows the visitor this action, if it is of a kind the visitor knows,
    // and then the actions it holds.
    virtual void accept(ActionVisitor&) const {}

protected:
    // A number no other action has, for the session's tables.
    std::uint64_t id() const { return _id; }

    void print(const Execution& now, const std::string& text);
    void println(const Execution& now, const std::string& text = "");
    void print(const Execution& now, Description& description);
    void println(const Execution& now, Description& description);
    void println(const Execution& now, const std::string& before, Description& description,
                 const std::string& after);
    std::string readln(const Execution& now, const std::string& prompt = "");
    // Checks the phrase's items whose bits are set in the mask; tells the
    // player once when one of them is missing.
    bool checkItems(const Execution& now, int mask);
    // Copies the player's variables, as they are now, to the top level of
    // the action context, where conditions and prints name them bare.
    void refreshVariables(const Execution& now);
    // The author's trace of a player's variable changed: its value before
    // the change (empty when the trace is off), then the line saying it.
    static std::string traceBefore(const Execution& now, const std::string& variable);
    static void traceChange(const Execution& now, const std::string& variable,
                            const std::string& before);

private:
    const std::uint64_t _id;
    Action* _parent = nullptr;
    std::atomic<bool> _silent{false};
};

} // namespace zanfir
