#pragma once

#include "adventure/Action.h"

namespace zanfir {

// Runs the player's last command line again.
class Again : public Action {
public:
    bool run() override;
};

} // namespace zanfir
