#pragma once

#include "language/Action.h"

namespace zanfir {

// Takes back the player's last command.
class Undo : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
