#include "language/action/MultiAction.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "language/action/IfElse.h"
#include "language/action/IfThen.h"
#include "runtime/Errors.h"

namespace zanfir {

bool MultiAction::run(const Execution& now) {
    auto& results = now.session.actionState().ifs;
    for (const auto& action : _actions) {
        if (now.session.isDead())
            break;
        if (dynamic_cast<IfElse*>(action.get()) && results[id()])
            continue;
        bool result = action->start(now.next());
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
