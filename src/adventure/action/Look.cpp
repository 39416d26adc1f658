#include "adventure/action/Look.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/Phrase.h"

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
