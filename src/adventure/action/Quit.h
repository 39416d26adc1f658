#pragma once

#include "adventure/Action.h"

namespace zanfir {

// Ends the game when the player confirms.
class Quit : public Action {
public:
    bool run() override;
};

} // namespace zanfir
