#include "runtime/Waker.h"

#include <utility>

namespace zanfir {

void Waker::wake() {
    std::lock_guard guard(_lock);
    _woken = true;
    if (_waiting) // it cannot end before it takes the lock again
        Fibers::interrupt(_waiting);
}

int Waker::poll(int fd, short events, int timeout_ms, bool& woken) {
    {
        std::lock_guard guard(_lock);
        woken = std::exchange(_woken, false);
        if (woken)
            timeout_ms = 0;
        else
            _waiting = Fibers::current();
    }
    int ready = Fibers::poll(fd, events, timeout_ms);
    std::lock_guard guard(_lock);
    _waiting = nullptr;
    woken = std::exchange(_woken, false) || woken;
    return ready;
}

} // namespace zanfir
