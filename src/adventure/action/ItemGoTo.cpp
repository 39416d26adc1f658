#include "adventure/action/ItemGoTo.h"

#include "adventure/ActionVisitor.h"
#include "adventure/Adventure.h"
#include "adventure/Item.h"

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
