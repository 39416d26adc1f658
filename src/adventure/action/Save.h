#pragma once

#include "adventure/Action.h"

namespace zanfir {

// Saves the player's game.
class Save : public Action {
public:
    bool run() override;
};

} // namespace zanfir
