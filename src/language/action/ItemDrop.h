#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Drops an item the player carries.
class ItemDrop : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    // The item to act on; empty: the phrase's first item.
    virtual void setItem(const std::string& name) { _item = name; }
    const std::string& getItem() const { return _item; }

private:
    std::string _item;
};

} // namespace zanfir
