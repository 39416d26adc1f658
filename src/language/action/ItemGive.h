#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Hands an item the player carries to another player present, as
// `LAMPADA.give ANNA`; `*` stands for the command's first item (the item)
// or its second (the player): `*.give *`. Both players are told.
class ItemGive : public Action {
public:
    bool run(const Execution& now) override;
    void setItem(const std::string& name) { _item = name; }
    void setReceiver(const std::string& name) { _receiver = name; }

private:
    std::string _item;
    std::string _receiver;
};

} // namespace zanfir
