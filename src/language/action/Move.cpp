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
    int direction = now.phrase->verbWord()->getDirection();
    std::string next = here ? here->getNextByDirection(direction) : "";
    if (next.empty())
        println(now, T::CantGoThere);
    else
        session.setLocation(session.location(next), direction);
    return true;
}

} // namespace zanfir
