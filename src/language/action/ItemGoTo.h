#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Moves an item (or, without one, the player) to a location; without a
// location, to where the player is.
class ItemGoTo : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setLocation(const std::string& name) { _location = name; }
    virtual void setItem(const std::string& name) { _item = name; }

    const std::string& getLocation() const { return _location; }
    const std::string& getItem() const { return _item; }

private:
    std::string _location;
    std::string _item;
};

} // namespace zanfir
