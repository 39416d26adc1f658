#include "language/action/IfThen.h"

#include "T.h"
#include "language/ActionVisitor.h"
#include "runtime/Debug.h"
#include "state/Context.h"

namespace zanfir {

void IfThen::setExpression(const std::string& text) {
    _evaluator.parse(text);
    _expression = text;
}

bool IfThen::run(const Execution& now) {
    refreshVariables(now);
    bool holds = _evaluator.evaluate(*now.context);
    if (Debug::isOnG())
        Debug::stepG(T::TraceCondition + _expression + (holds ? T::TraceTrue : T::TraceFalse));
    if (holds && _then)
        _then->start(now.next());
    return holds;
}

void IfThen::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
    if (_then)
        _then->accept(visitor);
}

} // namespace zanfir
