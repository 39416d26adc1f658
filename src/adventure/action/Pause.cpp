#include "adventure/action/Pause.h"

#include "adventure/Adventure.h"

namespace zanfir {

bool Pause::run() {
    adventure()->pressAnyKey();
    return true;
}

} // namespace zanfir
