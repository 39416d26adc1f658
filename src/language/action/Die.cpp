#include "language/action/Die.h"

#include "engine/Adventure.h"
#include "language/Description.h"

namespace zanfir {

bool Die::run(const Execution& now) {
    Adventure& session = now.session;
    if (!_end_only)
        if (auto dead = session.messageDead())
            print(now, *dead);
    println(now);
    session.ending().offer();
    return true;
}

} // namespace zanfir
