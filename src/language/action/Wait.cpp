#include "language/action/Wait.h"

#include <chrono>
#include <thread>

#include "T.h"
#include "engine/Adventure.h"

namespace zanfir {

bool Wait::run(const Execution& now) {
    println(now, T::AsYouWant);
    if (_millisec > 0)
        now.session.sleep(_millisec);
    return true;
}

} // namespace zanfir
