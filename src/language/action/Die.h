#pragma once

#include "language/Action.h"

namespace zanfir {

// Ends the game, with the death text unless only the end is wanted.
class Die : public Action {
public:
    bool run(const Execution& now) override;
    virtual void setEndOnly(bool flag) { _end_only = flag; }
    bool isEndOnly() const { return _end_only; }

private:
    bool _end_only = false;
};

} // namespace zanfir
