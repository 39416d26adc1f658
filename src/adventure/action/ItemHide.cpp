#include "adventure/action/ItemHide.h"

#include "adventure/Adventure.h"
#include "adventure/Item.h"

namespace zanfir {

bool ItemHide::run() {
    Adventure& session = *adventure();
    auto item = session.item(_item);
    if (_hide)
        session.hideItem(*item);
    else
        session.unhideItem(*item);
    return true;
}

} // namespace zanfir
