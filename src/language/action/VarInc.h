#pragma once

#include <cstdint>
#include <string>

#include "language/Action.h"

namespace zanfir {

// Adds a step to a player variable (or flips a flag).
class VarInc : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setVariable(const std::string& name) { _variable = name; }
    virtual void setDelta(std::int32_t step) { _delta = step; }

    const std::string& getVariable() const { return _variable; }
    std::int32_t getDelta() const { return _delta; }

private:
    std::string _variable;
    std::int32_t _delta = 0;
};

} // namespace zanfir
