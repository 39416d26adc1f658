#pragma once

#include "language/Action.h"

namespace zanfir {

// Ends the game when the player confirms.
class Quit : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
