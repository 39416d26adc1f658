#include "adventure/action/MultiAction.h"

#include <unordered_map>

#include "T.h"
#include "adventure/ActionVisitor.h"
#include "adventure/Adventure.h"
#include "adventure/action/IfElse.h"
#include "adventure/action/IfThen.h"
#include "common/Fibers.h"
#include "exception/Exception.h"

namespace zanfir {

namespace {
// The result of the last if-command of each sequence, for the session
// running it.
std::unordered_map<std::uint64_t, bool>& ifs() {
    return Fibers::local<std::unordered_map<std::uint64_t, bool>>();
}
} // namespace

bool MultiAction::run() {
    auto& results = ifs(); // the session's, wherever it goes on
    for (const auto& action : _actions) {
        if (adventure()->isDead())
            break;
        if (dynamic_cast<IfElse*>(action.get()) && results[id()])
            continue;
        bool result = action->start(adventure(), context(), phrase());
        if (dynamic_cast<IfThen*>(action.get()))
            results[id()] = result;
    }
    return true;
}

void MultiAction::addAction(std::shared_ptr<Action> action) {
    if (!action)
        return;
    if (dynamic_cast<IfElse*>(action.get()) &&
        (_actions.empty() || !dynamic_cast<IfThen*>(_actions.back().get())))
        throw Exception(T::ElseNotFollowingIf);
    _actions.push_back(std::move(action));
}

void MultiAction::accept(ActionVisitor& visitor) const {
    for (const auto& action : _actions)
        action->accept(visitor);
}

} // namespace zanfir
