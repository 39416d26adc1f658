#pragma once

#include "adventure/Action.h"

namespace zanfir {

// Lists what the player carries.
class What : public Action {
public:
    bool run() override;
};

} // namespace zanfir
