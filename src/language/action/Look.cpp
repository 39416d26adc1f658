#include "language/action/Look.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/Description.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Phrase.h"

namespace zanfir {

bool Look::run(const Execution& now) {
    Adventure& session = now.session;
    if (now.phrase->isVerbOnly()) {
        auto here = session.getLocation();
        if (here && here->hasLongDescription())
            println(now, *here->descrLong());
        else
            println(now, T::NothingSpecial);
        return true;
    }
    auto item = session.findItem(now.phrase->item());
    if (!item || !session.isItemPresent(*item) || session.isItemHidden(*item))
        println(now, T::DontSeeItHere);
    else if (session.isItemUser(*item))
        println(now, T::HeIsJust, item->descr(), T::HeIsJustX);
    else if (item->hasLookDescription())
        println(now, *item->descrLook());
    else
        println(now, T::NothingSpecial);
    return true;
}

} // namespace zanfir
