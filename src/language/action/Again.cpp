#include "language/action/Again.h"

#include "engine/Adventure.h"

namespace zanfir {

bool Again::run(const Execution& now) {
    return now.session.commands().again();
}

} // namespace zanfir
