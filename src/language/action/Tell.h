#pragma once

#include "language/Action.h"

namespace zanfir {

// Says something to the players here, or to the one named.
class Tell : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
