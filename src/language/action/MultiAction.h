#pragma once

#include <memory>
#include <vector>

#include "language/Action.h"

namespace zanfir {

// A sequence of actions, run in order while the player lives.
class MultiAction : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    // Appends an action; none is ignored.
    virtual void addAction(std::shared_ptr<Action> action);

    const std::vector<std::shared_ptr<Action>>& actions() const { return _actions; }

private:
    std::vector<std::shared_ptr<Action>> _actions;
};

} // namespace zanfir
