#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Hides or shows an item.
class ItemHide : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setItem(const std::string& name) { _item = name; }
    virtual void setHide(bool flag) { _hide = flag; }

    const std::string& getItem() const { return _item; }
    bool isHide() const { return _hide; }

private:
    std::string _item;
    bool _hide = false;
};

} // namespace zanfir
