#pragma once

#include "language/Action.h"

namespace zanfir {

// Moves the player in the direction of the phrase's verb.
class Move : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
