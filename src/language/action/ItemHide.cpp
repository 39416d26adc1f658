#include "language/action/ItemHide.h"

#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "world/Item.h"

namespace zanfir {

bool ItemHide::run(const Execution& now) {
    Adventure& session = now.session;
    auto item = session.item(_item);
    if (_hide)
        session.hideItem(*item);
    else
        session.unhideItem(*item);
    return true;
}

void ItemHide::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
