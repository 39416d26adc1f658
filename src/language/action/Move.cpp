#include "language/action/Move.h"

#include "T.h"
#include "engine/Adventure.h"
#include "world/Location.h"
#include "world/Phrase.h"
#include "world/Word.h"

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
