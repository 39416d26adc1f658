#include "adventure/action/Pause.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Pause::run(const Execution& now) {
    now.session.pressAnyKey();
    return true;
}

} // namespace zanfir
