#pragma once

#include "language/Action.h"

namespace zanfir {

// Runs the player's last command line again.
class Again : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
