#include "adventure/action/Wait.h"

#include <chrono>
#include <thread>

#include "T.h"
#include "adventure/Adventure.h"

namespace zanfir {

bool Wait::run() {
    println(T::AsYouWant);
    if (_millisec > 0)
        adventure()->sleep(_millisec);
    return true;
}

} // namespace zanfir
