#pragma once

#include "language/Action.h"

namespace zanfir {

// Loads the player's saved game.
class Load : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
