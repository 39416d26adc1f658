#include "adventure/action/Move.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Location.h"
#include "adventure/Phrase.h"
#include "adventure/Word.h"

namespace zanfir {

bool Move::run(const Execution& now) {
    Adventure& session = now.session;
    auto here = session.getLocation();
    std::string next = here ? here->getNextByDirection(now.phrase->verbWord()->getDirection()) : "";
    if (next.empty())
        println(now, T::CantGoThere);
    else
        session.setLocation(session.location(next));
    return true;
}

} // namespace zanfir
