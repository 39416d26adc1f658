#include "adventure/action/IfElse.h"

#include "adventure/ActionVisitor.h"

namespace zanfir {

bool IfElse::run() {
    if (_else)
        _else->start(adventure(), context(), phrase());
    return true;
}

void IfElse::accept(ActionVisitor& visitor) const {
    if (_else)
        _else->accept(visitor);
}

} // namespace zanfir
