#pragma once

#include <memory>

#include "language/Action.h"

namespace zanfir {

// The branch a sequence runs when the if-command before it failed.
class IfElse : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setElseAction(std::shared_ptr<Action> action) { _else = std::move(action); }

    const std::shared_ptr<Action>& getElseAction() const { return _else; }

private:
    std::shared_ptr<Action> _else;
};

} // namespace zanfir
