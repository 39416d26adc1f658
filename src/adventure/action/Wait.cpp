#include "adventure/action/Wait.h"

#include <chrono>
#include <thread>

#include "T.h"
#include "common/Output.h"

namespace zanfir {

bool Wait::run() {
    println(T::AsYouWant);
    out().flush();
    if (_millisec > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(_millisec));
    return true;
}

} // namespace zanfir
