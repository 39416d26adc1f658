#pragma once

#include <mutex>

#include "runtime/Fibers.h"

namespace zanfir {

// Cuts short a fiber's wait for its socket from any thread: the wait
// returns, its fiber does what it was woken for, and waits again. A wake
// that comes while the fiber is not waiting is kept for its next wait.
class Waker {
public:
    // From any thread.
    void wake();
    // Fibers::poll; `woken` tells whether a wake came before or during it
    // (the poll then returns at once, with what was ready, maybe nothing).
    int poll(int fd, short events, int timeout_ms, bool& woken);

private:
    std::mutex _lock;
    Fibers::Fiber* _waiting = nullptr;
    bool _woken = false;
};

} // namespace zanfir
