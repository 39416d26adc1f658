#pragma once

#include <memory>
#include <string>

#include "language/Action.h"
#include "language/Expression.h"

namespace zanfir {

// Runs its action when its condition holds; the result is the condition.
class IfThen : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    // Parses the condition at once: throws ExpressionException.
    virtual void setExpression(const std::string& text);
    virtual void setThenAction(std::shared_ptr<Action> action) { _then = std::move(action); }

    const std::string& getExpression() const { return _expression; }
    const std::shared_ptr<Action>& getThenAction() const { return _then; }

private:
    std::string _expression;
    Expression _evaluator;
    std::shared_ptr<Action> _then;
};

} // namespace zanfir
