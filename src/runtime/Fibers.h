#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zanfir {

// Sessions served by a few threads instead of a thread each. A session runs
// as a fiber, with a stack of its own, and gives its thread to another
// fiber whenever it waits: for its socket, for a moment to pass, for a
// wake-up. Handing a thread over costs no trip through the kernel's
// scheduler, and the sockets that became ready are taken in one call for
// all of them. A fiber that waits may go on in another thread.
//
// The waits below work anywhere: outside a fiber they block the thread, and
// so they do in a fiber that is handling or throwing an exception (the C++
// runtime keeps those per thread), which should not wait for long. A fiber
// must not wait while it holds a lock (it may be let go in another thread);
// a lock it takes without waiting blocks only its own thread.
class Fibers {
public:
    struct Fiber;

    // A stack's room; only what a session touches is memory.
    static constexpr std::size_t STACK_BYTES = 2 << 20;

    explicit Fibers(int threads);
    // Lets the threads go once they have nothing to run; fibers still
    // waiting are left as they are.
    ~Fibers();
    Fibers(const Fibers&) = delete;
    Fibers& operator=(const Fibers&) = delete;

    // Runs `body` in a new fiber. Throws std::system_error when no stack
    // can be had.
    void spawn(std::function<void()> body);

    // The fiber running now, or null outside one.
    static Fiber* current();
    // Like ::poll on one descriptor: the events ready, 0 when `timeout_ms`
    // passed first (-1 waits without limit), -1 on an error (errno).
    static int poll(int fd, short events, int timeout_ms);
    static void sleepFor(std::chrono::nanoseconds time);
    // Gives the thread up until unpark(fiber), or at once after an earlier
    // unpark: callers look again at what they wait for. Outside a fiber:
    // nothing.
    static void park();
    static void unpark(Fiber* fiber);
    // Ends a poll or a sleep of `fiber` now, as if its time had passed
    // (poll returns 0); nothing when it is not waiting. Any thread may call
    // it while `fiber` cannot end (see Waker).
    static void interrupt(Fiber* fiber);
    // Parks until `done()` holds, looked at under `lock` (held on entry and
    // on return, let go while parked). Whoever makes it hold unparks the
    // fiber under the same lock: the fiber cannot end before it is woken.
    template <class Lock, class Done>
    static void parkUntil(Lock& lock, Done done) {
        while (!done()) {
            lock.unlock();
            park();
            lock.lock();
        }
    }
    // A condition variable that fibers wait on too, without their thread.
    // Waits and notices are made under the same mutex: a fiber is woken
    // under it, so it cannot end before the notice is done with it.
    class Condition {
    public:
        template <class Done>
        void wait(std::unique_lock<std::mutex>& lock, Done done) {
            Fiber* fiber = current();
            if (!fiber) {
                _threads.wait(lock, done);
                return;
            }
            while (!done()) {
                Parked me{fiber};
                _fibers.push_back(&me);
                parkUntil(lock, [&] { return me.woken; });
            }
        }
        // Under the lock.
        void notifyAll();

    private:
        struct Parked {
            Fiber* fiber;
            bool woken = false;
        };
        std::condition_variable _threads;
        std::vector<Parked*> _fibers;
    };

    // Runs `work` in a thread of its own while the fiber waits for it: long
    // work (a password's hash) would hold up the thread's other fibers.
    // Outside a fiber it runs here. Throws what `work` throws.
    static void aside(const std::function<void()>& work);

private:
    struct Scheduler;

    std::shared_ptr<Scheduler> _scheduler;
};

} // namespace zanfir
