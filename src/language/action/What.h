#pragma once

#include "language/Action.h"

namespace zanfir {

// Lists what the player carries.
class What : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
