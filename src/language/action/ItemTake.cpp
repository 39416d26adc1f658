#include "language/action/ItemTake.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "world/Item.h"
#include "world/Phrase.h"

namespace zanfir {

bool ItemTake::run(const Execution& now) {
    Adventure& session = now.session;
    // An author's item must exist; a word of the player's may name none.
    auto item = _item.empty() ? session.findItem(now.phrase->item()) : session.item(_item);
    if (!item || !session.isItemPresent(*item) || session.isItemHidden(*item)) {
        println(now, T::DontSeeItHere);
    } else if (!session.isItemHere(*item)) {
        println(now, T::AlreadyHaveIt);
    } else if (!item->visible()) {
        println(now, T::CantTakeUnvisible);
    } else if (!item->carriable()) {
        println(now, T::CantTakeIt);
    } else if (session.takeItem(*item)) {
        session.setItemSeen(*item);
        println(now, T::Done);
    } else {
        println(now, T::DontSeeItHere); // another player was quicker
    }
    return true;
}

void ItemTake::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
