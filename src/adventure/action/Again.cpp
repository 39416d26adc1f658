#include "adventure/action/Again.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Again::run(const Execution& now) {
    return now.session.again();
}

} // namespace zanfir
