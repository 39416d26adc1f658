#include "adventure/action/Undo.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Undo::run() {
    return adventure()->undo();
}

} // namespace zanfir
