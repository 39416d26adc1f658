#include "adventure/action/Again.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Again::run() {
    return adventure()->again();
}

} // namespace zanfir
