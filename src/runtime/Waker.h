#pragma once

#include <chrono>
#include <mutex>

#include "runtime/Fibers.h"

namespace zanfir {

// Cuts short a fiber's wait for its socket from any thread: the wait
// returns, its fiber does what it was woken for, and waits again. A wake
// that comes while the fiber is not waiting is kept for its next wait.
// Wakes are paced: one within PACE of the last is told at the end of it,
// together with those that came meanwhile.
class Waker {
public:
    static constexpr std::chrono::milliseconds PACE{50};

    // From any thread.
    void wake();
    // Fibers::poll; `woken` tells whether the fiber was woken (the poll
    // then returns at once, with what was ready, maybe nothing).
    int poll(int fd, short events, int timeout_ms, bool& woken);

private:
    using Clock = std::chrono::steady_clock;
    // Under the lock: whether a wake is to be told now.
    bool due(Clock::time_point now);

    std::mutex _lock;
    Fibers::Fiber* _waiting = nullptr;
    bool _woken = false;
    Clock::time_point _next{}; // no wake is told before
};

} // namespace zanfir
