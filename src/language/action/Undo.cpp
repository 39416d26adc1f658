#include "language/action/Undo.h"

#include "engine/Adventure.h"

namespace zanfir {

bool Undo::run(const Execution& now) {
    return now.session.commands().undo();
}

} // namespace zanfir
