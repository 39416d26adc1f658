#include "adventure/action/IfElse.h"

namespace zanfir {

bool IfElse::run() {
    if (_else)
        _else->start(adventure(), context(), phrase());
    return true;
}

} // namespace zanfir
