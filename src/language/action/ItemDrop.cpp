#include "language/action/ItemDrop.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "world/Item.h"
#include "world/Phrase.h"

namespace zanfir {

bool ItemDrop::run(const Execution& now) {
    Adventure& session = now.session;
    auto item = _item.empty() ? session.findItem(now.phrase->item()) : session.item(_item);
    if (item && session.isItemCarried(*item) && session.dropItem(*item)) {
        println(now, T::Done);
    } else {
        println(now, T::DontHaveIt);
    }
    return true;
}

void ItemDrop::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
