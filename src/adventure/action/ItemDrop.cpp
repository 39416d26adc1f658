#include "adventure/action/ItemDrop.h"

#include "T.h"
#include "adventure/ActionVisitor.h"
#include "adventure/Adventure.h"
#include "adventure/Item.h"
#include "adventure/Phrase.h"

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
