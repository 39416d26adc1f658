#include "adventure/action/Die.h"

#include "adventure/Adventure.h"
#include "adventure/Description.h"

namespace zanfir {

bool Die::run() {
    Adventure& session = *adventure();
    if (!_end_only)
        if (auto dead = session.messageDead())
            print(*dead);
    println();
    session.pressAnyKey();
    session.quit();
    return true;
}

} // namespace zanfir
