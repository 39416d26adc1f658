#pragma once

#include "adventure/Action.h"

namespace zanfir {

// Describes the location, or the item or player named.
class Look : public Action {
public:
    bool run() override;
};

} // namespace zanfir
