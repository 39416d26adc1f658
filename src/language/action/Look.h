#pragma once

#include "language/Action.h"

namespace zanfir {

// Describes the location, or the item or player named.
class Look : public Action {
public:
    bool run(const Execution& now) override;
};

} // namespace zanfir
