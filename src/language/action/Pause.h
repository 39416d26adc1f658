#pragma once

#include "language/Action.h"

namespace zanfir {

// Waits until the player presses Enter.
class Pause : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
