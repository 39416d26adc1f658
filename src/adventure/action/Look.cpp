#include "adventure/action/Look.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/Phrase.h"

namespace zanfir {

bool Look::run() {
    Adventure& session = *adventure();
    if (phrase()->isVerbOnly()) {
        auto here = session.getLocation();
        if (here && here->hasLongDescription())
            println(*here->descrLong());
        else
            println(T::NothingSpecial);
        return true;
    }
    auto item = session.findItem(phrase()->item());
    if (!item || !session.isItemPresent(*item) || session.isItemHidden(*item))
        println(T::DontSeeItHere);
    else if (session.isItemUser(*item))
        println(T::HeIsJust, item->descr(), T::HeIsJustX);
    else if (item->hasLookDescription())
        println(*item->descrLook());
    else
        println(T::NothingSpecial);
    return true;
}

} // namespace zanfir
