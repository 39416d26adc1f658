#pragma once

#include "language/Action.h"

namespace zanfir {

// Saves the player's game.
class Save : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
