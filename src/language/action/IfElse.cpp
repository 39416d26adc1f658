#include "language/action/IfElse.h"

#include "language/ActionVisitor.h"

namespace zanfir {

bool IfElse::run(const Execution& now) {
    if (_else)
        _else->start(now.next());
    return true;
}

void IfElse::accept(ActionVisitor& visitor) const {
    if (_else)
        _else->accept(visitor);
}

} // namespace zanfir
