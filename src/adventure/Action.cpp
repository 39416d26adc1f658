#include "adventure/Action.h"

#include <unordered_map>

#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Phrase.h"
#include "adventure/StateKeys.h"
#include "common/Context.h"
#include "common/Fibers.h"
#include "common/Input.h"
#include "exception/CommandStoppedException.h"

namespace zanfir {

namespace {

struct Frame {
    Adventure* adventure = nullptr;
    std::shared_ptr<Context> context;
    std::shared_ptr<const Phrase> phrase;
    std::optional<Action*> parent; // lent by a Loan
    std::optional<bool> silent;    // lent by a Loan
};

// What a session's actions keep while its command runs: the session's own
// (a session waiting for its player may go on in another thread).
struct Running {
    // Keyed by a number given to each action, never by its address, so that
    // a new action can never see the frame of a destroyed one.
    std::unordered_map<std::uint64_t, Frame> frames;
    int depth = 0;
    long steps_budget = -1;
    long steps_left = -1;
};

Running& running() {
    return Fibers::local<Running>();
}

std::atomic<std::uint64_t> next_id{1};

const Frame* frameOf(std::uint64_t id) {
    auto& frames = running().frames;
    auto found = frames.find(id);
    return found == frames.end() ? nullptr : &found->second;
}

// The session's own state, found once: it stays the session's whatever
// thread the session goes on in.
struct DepthGuard {
    explicit DepthGuard(Running& state) : depth(state.depth) {
        if (depth >= Action::MAX_DEPTH)
            throw Exception(T::NestingTooDeep);
        ++depth;
    }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    int& depth;
};

} // namespace

Action::Action() : _id(next_id++) {}

Action* Action::getParent() const {
    auto frame = frameOf(_id);
    return frame && frame->parent ? *frame->parent : _parent;
}

bool Action::isSilent() const {
    auto frame = frameOf(_id);
    return frame && frame->silent ? *frame->silent : _silent.load();
}

Action::Loan::Loan(Action& action, std::optional<Action*> parent, std::optional<bool> silent)
    : _action(action) {
    Frame& frame = running().frames[action._id];
    _parent = frame.parent;
    _silent = frame.silent;
    if (parent)
        frame.parent = parent;
    if (silent)
        frame.silent = silent;
}

Action::Loan::~Loan() {
    Frame& frame = running().frames[_action._id];
    frame.parent = _parent;
    frame.silent = _silent;
}

bool Action::isParentOf(const Action* action) const {
    for (; action; action = action->getParent())
        if (action == this)
            return true;
    return false;
}

Adventure* Action::adventure() const {
    auto frame = frameOf(_id);
    return frame ? frame->adventure : nullptr;
}

std::shared_ptr<Context> Action::context() const {
    auto frame = frameOf(_id);
    return frame ? frame->context : nullptr;
}

std::shared_ptr<const Phrase> Action::phrase() const {
    auto frame = frameOf(_id);
    return frame ? frame->phrase : nullptr;
}

Output& Action::out() const {
    return adventure()->out();
}

Input& Action::in() const {
    return adventure()->in();
}

void Action::print(const std::string& text) {
    if (!isSilent())
        adventure()->print(text);
}

void Action::println(const std::string& text) {
    if (!isSilent())
        adventure()->println(text);
}

void Action::println() {
    println("");
}

void Action::print(Description& description) {
    adventure()->print(description);
}

void Action::println(Description& description) {
    adventure()->println(description);
}

void Action::println(const std::string& before, Description& description,
                     const std::string& after) {
    adventure()->println(before, description, after);
}

std::string Action::readln(const std::string& prompt) {
    return adventure()->readln(prompt);
}

bool Action::checkItem(const std::string& itemName) {
    auto item = adventure()->findItem(itemName);
    if (item)
        return checkItem(*item);
    println(T::DontSeeItHere);
    return false;
}

bool Action::checkItem(Item& item) {
    if (isPresent(item))
        return true;
    println(T::DontSeeItHere);
    return false;
}

bool Action::isPresent(const std::string& itemName) {
    auto item = adventure()->findItem(itemName);
    return item && isPresent(*item);
}

bool Action::isPresent(Item& item) {
    Adventure* session = adventure();
    return session->isItemPresent(item) && !session->isItemHidden(item);
}

bool Action::checkItems(int mask) {
    auto current = phrase();
    int count = current ? current->items() : 0;
    bool ok = true;
    for (int i = 0; i < count && i < 31 && ok; ++i)
        if (mask & (1 << i))
            ok = isPresent(current->itemAt(i));
    if (!ok)
        println(T::DontSeeItHere);
    return ok;
}

void Action::refreshVariables() {
    if (auto ctx = context())
        ctx->appendFromNested(StateKeys::variables());
}

void Action::setStepBudget(long steps) {
    Running& state = running();
    state.steps_budget = state.steps_left = steps;
}

bool Action::start(Adventure* adventure, std::shared_ptr<Context> context,
                   std::shared_ptr<const Phrase> phrase) {
    Running& now = running();
    if (now.steps_left == 0)
        throw CommandStoppedException(std::to_string(now.steps_budget) + T::StepsLimit);
    if (now.steps_left > 0)
        --now.steps_left;
    DepthGuard guard(now);
    Frame& frame = now.frames[_id];
    frame.adventure = adventure;
    frame.context = std::move(context);
    if (phrase)
        frame.phrase = std::move(phrase);
    return run();
}

} // namespace zanfir
