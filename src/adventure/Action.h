#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zanfir {

class ActionVisitor;
class Adventure;
class Context;
class Description;
class Input;
class Item;
class Output;
class Phrase;

// An executable node of the action language. Action objects are shared by
// every session; what one execution needs (session, context, phrase) is
// kept per thread, so several sessions can run the same action at once.
class Action {
public:
    // Nested starts beyond this depth in one thread fail with an Exception.
    static constexpr int MAX_DEPTH = 200;

    Action();
    virtual ~Action() = default;
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

    // The parent in the parsed tree, or the one lent for this thread.
    virtual Action* getParent() const;
    virtual void setParent(Action* parent) { _parent = parent; }
    // True for this action itself and for its descendants.
    virtual bool isParentOf(const Action* action) const;

    // The execution state recorded for the current thread, or none.
    virtual Adventure* adventure() const;
    virtual std::shared_ptr<Context> context() const;
    virtual std::shared_ptr<const Phrase> phrase() const;

    // The silent flag, or the one lent for this thread.
    virtual bool isSilent() const;
    virtual void setSilent(bool flag) { _silent = flag; }

    virtual Output& out() const;
    virtual void print(const std::string& text);
    virtual void println(const std::string& text);
    virtual void println();
    virtual void print(Description& description);
    virtual void println(Description& description);
    virtual void println(const std::string& before, Description& description,
                         const std::string& after);
    virtual Input& in() const;
    virtual std::string readln(const std::string& prompt = "");

    virtual bool checkItem(const std::string& itemName);
    virtual bool checkItem(Item& item);
    // Checks the phrase's items whose bits are set in the mask; tells the
    // player once when one of them is missing.
    virtual bool checkItems(int mask);

    // The starts that the actions of this thread may still make; one more
    // throws CommandStoppedException. Negative, as it is at first: no limit.
    static void setStepBudget(long steps);

    // Records the execution state for this thread and runs the action. A
    // start without a phrase keeps the phrase of the earlier start.
    virtual bool start(Adventure* adventure, std::shared_ptr<Context> context,
                       std::shared_ptr<const Phrase> phrase);
    virtual bool run() = 0;
    // Shows the visitor this action, if it is of a kind the visitor knows,
    // and then the actions it holds.
    virtual void accept(ActionVisitor&) const {}

    // While it lives, the action has another parent and/or silent flag in
    // the current thread only (a reference or a message print running it).
    class Loan {
    public:
        Loan(Action& action, std::optional<Action*> parent, std::optional<bool> silent);
        ~Loan();
        Loan(const Loan&) = delete;
        Loan& operator=(const Loan&) = delete;

    private:
        Action& _action;
        std::optional<Action*> _parent;
        std::optional<bool> _silent;
    };

protected:
    // A number no other action has, for per-thread tables.
    std::uint64_t id() const { return _id; }
    // Copies the player's variables, as they are now, to the top level of
    // the action context, where conditions and prints name them bare.
    void refreshVariables();

private:
    bool isPresent(Item& item);
    bool isPresent(const std::string& itemName);

    const std::uint64_t _id;
    Action* _parent = nullptr;
    std::atomic<bool> _silent{false};
};

} // namespace zanfir
