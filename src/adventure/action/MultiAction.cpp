#include "adventure/action/MultiAction.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool MultiAction::run() {
    for (const auto& action : _actions) {
        if (adventure()->isDead())
            break;
        action->start(adventure(), context(), phrase());
    }
    return true;
}

void MultiAction::addAction(std::shared_ptr<Action> action) {
    if (action)
        _actions.push_back(std::move(action));
}

} // namespace zanfir
