#include "language/action/Pause.h"

#include "engine/Adventure.h"

namespace zanfir {

bool Pause::run(const Execution& now) {
    now.session.pressAnyKey();
    return true;
}

} // namespace zanfir
