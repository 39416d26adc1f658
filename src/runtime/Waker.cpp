#include "runtime/Waker.h"

#include <algorithm>

namespace zanfir {

void Waker::wake() {
    std::lock_guard guard(_lock);
    _woken = true;
    if (_waiting) // it cannot end before it takes the lock again
        Fibers::interrupt(_waiting);
}

bool Waker::due(Clock::time_point now) {
    if (!_woken || now < _next)
        return false;
    _woken = false;
    _next = now + PACE;
    return true;
}

int Waker::poll(int fd, short events, int timeout_ms, bool& woken) {
    {
        std::lock_guard guard(_lock);
        auto now = Clock::now();
        woken = due(now);
        if (woken) {
            timeout_ms = 0;
        } else if (_woken) { // too soon: told when its pace allows
            auto left = std::chrono::ceil<std::chrono::milliseconds>(_next - now).count();
            timeout_ms = timeout_ms < 0 ? static_cast<int>(left)
                                        : std::min(timeout_ms, static_cast<int>(left));
        } else {
            _waiting = Fibers::current();
        }
    }
    int ready = Fibers::poll(fd, events, timeout_ms);
    std::lock_guard guard(_lock);
    _waiting = nullptr;
    woken = due(Clock::now()) || woken;
    return ready;
}

} // namespace zanfir
