#include "adventure/action/Undo.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Undo::run(const Execution& now) {
    return now.session.undo();
}

} // namespace zanfir
