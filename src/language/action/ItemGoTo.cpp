#include "language/action/ItemGoTo.h"

#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "world/Item.h"

namespace zanfir {

bool ItemGoTo::run(const Execution& now) {
    Adventure& session = now.session;
    if (_item.empty()) {
        session.setLocation(session.location(_location));
        return true;
    }
    auto item = session.item(_item);
    if (!session.isItemOwned(*item))
        session.setItemLocation(*item, _location.empty() ? session.getLocation()
                                                         : session.location(_location));
    return true;
}

void ItemGoTo::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
