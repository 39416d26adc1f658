#include "adventure/action/ItemDrop.h"

#include "T.h"
#include "adventure/ActionVisitor.h"
#include "adventure/Adventure.h"
#include "adventure/Item.h"
#include "adventure/Phrase.h"

namespace zanfir {

bool ItemDrop::run() {
    Adventure& session = *adventure();
    auto item = _item.empty() ? session.findItem(phrase()->item()) : session.item(_item);
    if (item && session.isItemCarried(*item) && session.dropItem(*item)) {
        println(T::Done);
    } else {
        println(T::DontHaveIt);
    }
    return true;
}

void ItemDrop::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
