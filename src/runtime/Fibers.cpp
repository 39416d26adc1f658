#include "runtime/Fibers.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/context/fiber.hpp>
#include <boost/context/stack_context.hpp>

#if defined(__SANITIZE_ADDRESS__)
#define ZANFIR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZANFIR_ASAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ZANFIR_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZANFIR_TSAN 1
#endif
#endif
#ifdef ZANFIR_ASAN
#include <sanitizer/common_interface_defs.h>
#endif
#ifdef ZANFIR_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace zanfir {

namespace {

using Clock = std::chrono::steady_clock;
// A switch of stacks that keeps the signal mask as it is: no system call.
using Context = boost::context::fiber;

// BLOCKED: parked while handling an exception, in its own thread.
enum State { RUNNING, PARKED, NOTIFIED, BLOCKED };

// The C++ runtime keeps the exceptions being handled or thrown per thread:
// a fiber that is in the middle of one must not give its thread away.
bool handlingException() {
    return std::uncaught_exceptions() > 0 || std::current_exception();
}

#if defined(ZANFIR_ASAN) || defined(ZANFIR_TSAN)
constexpr std::size_t STACK = Fibers::STACK_BYTES * 8; // sanitized frames are larger
#else
constexpr std::size_t STACK = Fibers::STACK_BYTES;
#endif
const std::size_t PAGE = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

constexpr std::uint64_t WAKE = ~std::uint64_t{0}; // the poller's own descriptor

// Wakes a fiber that waits or is about to: true when it is parked and the
// caller must put it in the queue to run.
bool wakes(std::atomic<int>& state) {
    for (;;) {
        int now = state.load();
        if (now == PARKED) {
            if (state.compare_exchange_weak(now, RUNNING))
                return true;
        } else if (now == RUNNING) {
            if (state.compare_exchange_weak(now, NOTIFIED))
                return false;
        } else if (now == BLOCKED) {
            if (state.compare_exchange_weak(now, RUNNING)) {
                state.notify_one();
                return false;
            }
        } else {
            return false;
        }
    }
}

std::uint64_t key(std::uint64_t fiber, int fd) {
    return fiber << 32 | static_cast<std::uint32_t>(fd);
}

// A thread that runs fibers.
struct Worker {
    const void* stack = nullptr; // its own stack, for the address sanitizer
    std::size_t stack_bytes = 0;
    void* tsan = nullptr;
};

thread_local Worker* this_worker = nullptr;
thread_local Fibers::Fiber* this_fiber = nullptr;

// Read afresh at every call: a fiber may go on in another thread, so a
// thread-local's address must not be kept across a wait.
[[gnu::noinline]] Worker* worker() {
    return this_worker;
}

} // namespace

struct Fibers::Fiber {
    Fiber() {}
    ~Fiber() {}

    Scheduler* scheduler = nullptr;
    std::uint64_t id = 0;
    std::function<void()> body;
    // Where it goes on, and where it goes back to when it waits: the worker
    // that resumed it. A context left parked at the end is never destroyed
    // (that would unwind its stack): its stack just goes.
    union {
        Context context;
    };
    Context back;
    char* stack = nullptr; // the guard page, then the stack
    std::atomic<int> state{RUNNING};
    bool done = false;
    void* fake_stack = nullptr;
    void* tsan = nullptr;
    // A wait for a descriptor or a moment, under the scheduler's lock: whoever
    // ends it first (the descriptor, the timer) clears `waiting`.
    bool waiting = false;
    int fd = -1;
    int events = 0;
    bool timed = false;
    std::multimap<Clock::time_point, Fiber*>::iterator timer;
};

struct Fibers::Scheduler {
    std::mutex lock;
    std::condition_variable work; // a fiber to run, or the end
    std::deque<Fiber*> ready;
    std::unordered_map<std::uint64_t, Fiber*> fibers;
    std::multimap<Clock::time_point, Fiber*> timers;
    Clock::time_point poller_wakes = Clock::time_point::max();
    bool polling = false; // a thread with nothing to run waits for the descriptors
    int idle = 0;         // threads waiting for `work`
    std::uint64_t next_id = 1;
    bool stop = false;
    int epoll = -1;
    int wake = -1;

    Scheduler() {
        epoll = ::epoll_create1(EPOLL_CLOEXEC);
        wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (epoll < 0 || wake < 0)
            throw std::system_error(errno, std::generic_category(), "epoll");
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = WAKE;
        ::epoll_ctl(epoll, EPOLL_CTL_ADD, wake, &event);
    }

    ~Scheduler() {
        for (auto& [id, fiber] : fibers)
            release(fiber);
        ::close(wake);
        ::close(epoll);
    }

    void push(Fiber* fiber) {
        bool notify, poke;
        {
            std::lock_guard guard(lock);
            ready.push_back(fiber);
            notify = idle > 0;
            poke = !notify && polling;
        }
        if (notify)
            work.notify_one();
        else if (poke) // every thread busy but the one polling
            pokePoller();
    }

    void pokePoller() {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake, &one, sizeof one);
    }

    void release(Fiber* fiber) {
#ifdef ZANFIR_TSAN
        if (fiber->tsan)
            __tsan_destroy_fiber(fiber->tsan);
#endif
        if (fiber->done)
            fiber->context.~Context(); // empty: its stack went when it ended
        else
            ::munmap(fiber->stack, STACK + PAGE);
        delete fiber;
    }

    // Ends a wait of `fiber` (under the lock), its timer too.
    void stopWaiting(Fiber* fiber) {
        fiber->waiting = false;
        if (fiber->timed)
            timers.erase(fiber->timer);
        fiber->timed = false;
    }

    // Ends a wait of `fiber` (under the lock): it goes on with `events`.
    void endWait(Fiber* fiber, int events) {
        stopWaiting(fiber);
        fiber->events = events;
        if (wakes(fiber->state))
            ready.push_back(fiber);
    }

    void interrupt(Fiber* fiber) {
        bool notify = false, poke = false;
        {
            std::lock_guard guard(lock);
            if (!fiber->waiting)
                return;
            endWait(fiber, 0);
            notify = idle > 0;
            poke = !notify && polling;
        }
        if (notify)
            work.notify_one();
        else if (poke)
            pokePoller();
    }

    // Runs the fibers that are ready; with none, waits for the descriptors
    // (one thread at a time) or for a fiber to be ready.
    void runWorker() {
        Worker me;
        this_worker = &me;
#ifdef ZANFIR_TSAN
        me.tsan = __tsan_get_current_fiber();
#endif
        std::vector<epoll_event> events(256);
        std::unique_lock guard(lock);
        for (;;) {
            if (!ready.empty()) {
                Fiber* fiber = ready.front();
                ready.pop_front();
                guard.unlock();
                resume(fiber);
                guard.lock();
            } else if (stop) {
                break;
            } else if (!polling) {
                polling = true;
                poll(guard, events);
                polling = false;
                if (ready.size() > 1 && idle > 0) // this thread runs the first
                    work.notify_all();
            } else {
                ++idle;
                work.wait(guard);
                --idle;
            }
        }
        this_worker = nullptr;
    }

    // Runs `fiber` until it waits or ends.
    void resume(Fiber* fiber) {
        this_fiber = fiber;
#ifdef ZANFIR_ASAN
        void* fake = nullptr;
        __sanitizer_start_switch_fiber(&fake, fiber->stack + PAGE, STACK);
#endif
#ifdef ZANFIR_TSAN
        __tsan_switch_to_fiber(fiber->tsan, 0);
#endif
        fiber->context = std::move(fiber->context).resume();
#ifdef ZANFIR_ASAN
        __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
#ifdef ZANFIR_TSAN
        if (fiber->done) // a fiber that waits said so itself
            __tsan_switch_to_fiber(worker()->tsan, 0);
#endif
        this_fiber = nullptr;
        if (fiber->done) {
            {
                std::lock_guard guard(lock);
                fibers.erase(fiber->id);
            }
            release(fiber);
            return;
        }
        int running = RUNNING;
        if (!fiber->state.compare_exchange_strong(running, PARKED)) { // woken meanwhile
            fiber->state = RUNNING;
            push(fiber);
        }
    }

    // Waits for the descriptors or the first timer, under the lock (let go
    // meanwhile); what they end is ready to run.
    void poll(std::unique_lock<std::mutex>& guard, std::vector<epoll_event>& events) {
        int timeout = -1;
        poller_wakes = Clock::time_point::max();
        if (!timers.empty()) {
            poller_wakes = timers.begin()->first;
            auto left = std::chrono::ceil<std::chrono::milliseconds>(poller_wakes - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 60 * 60 * 1000));
        }
        guard.unlock();
        int n = ::epoll_wait(epoll, events.data(), static_cast<int>(events.size()), timeout);
        guard.lock();
        for (int i = 0; i < n; ++i) {
            std::uint64_t data = events[i].data.u64;
            if (data == WAKE) {
                std::uint64_t count;
                [[maybe_unused]] auto read = ::read(wake, &count, sizeof count);
                continue;
            }
            auto found = fibers.find(data >> 32);
            if (found == fibers.end())
                continue; // ended meanwhile
            Fiber* fiber = found->second;
            if (fiber->waiting && key(fiber->id, fiber->fd) == data)
                endWait(fiber, pollEvents(events[i].events));
        }
        auto now = Clock::now();
        while (!timers.empty() && timers.begin()->first <= now)
            endWait(timers.begin()->second, 0);
    }

    static int pollEvents(std::uint32_t events) {
        int ready = 0;
        if (events & EPOLLIN)
            ready |= POLLIN;
        if (events & EPOLLOUT)
            ready |= POLLOUT;
        if (events & (EPOLLHUP | EPOLLRDHUP))
            ready |= POLLHUP;
        if (events & EPOLLERR)
            ready |= POLLERR;
        return ready;
    }

    // Waits in a fiber for `fd` (none: -1) or until `deadline` (none: max).
    int wait(Fiber* fiber, int fd, short events, Clock::time_point deadline) {
        bool poke = false;
        {
            std::lock_guard guard(lock);
            fiber->waiting = true;
            fiber->fd = fd;
            fiber->events = 0;
            if (deadline != Clock::time_point::max()) {
                fiber->timer = timers.emplace(deadline, fiber);
                fiber->timed = true;
                poke = polling && deadline < poller_wakes;
            }
        }
        if (poke)
            pokePoller();
        if (fd >= 0) {
            epoll_event event{};
            event.events = EPOLLONESHOT;
            if (events & POLLIN)
                event.events |= EPOLLIN | EPOLLRDHUP;
            if (events & POLLOUT)
                event.events |= EPOLLOUT;
            event.data.u64 = key(fiber->id, fd);
            if (::epoll_ctl(epoll, EPOLL_CTL_MOD, fd, &event) != 0 &&
                (errno != ENOENT || ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0)) {
                int error = errno;
                std::lock_guard guard(lock);
                if (fiber->waiting)
                    stopWaiting(fiber);
                errno = error;
                return -1;
            }
        }
        std::unique_lock guard(lock);
        parkUntil(guard, [&] { return !fiber->waiting; });
        return fiber->events;
    }
};

namespace {

// The stacks: a guard page below each, where an overflow faults instead of
// writing over memory; only the pages a fiber touches become memory.
struct Stacks {
    Fibers::Fiber* fiber;

    boost::context::stack_context allocate() {
        void* memory = ::mmap(nullptr, STACK + PAGE, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (memory == MAP_FAILED)
            throw std::system_error(errno, std::generic_category(), "mmap");
        ::mprotect(memory, PAGE, PROT_NONE);
        fiber->stack = static_cast<char*>(memory);
        boost::context::stack_context stack;
        stack.size = STACK;
        stack.sp = fiber->stack + PAGE + STACK;
        return stack;
    }

    void deallocate(boost::context::stack_context& stack) {
        ::munmap(static_cast<char*>(stack.sp) - STACK - PAGE, STACK + PAGE);
    }
};

// A fiber's first and last steps.
Context enter(Fibers::Fiber* fiber, Context&& caller) {
    fiber->back = std::move(caller);
#ifdef ZANFIR_ASAN
    Worker* from = worker();
    __sanitizer_finish_switch_fiber(nullptr, &from->stack, &from->stack_bytes);
#endif
    try {
        fiber->body();
        fiber->body = nullptr; // what it holds goes while the fiber can still wait
    } catch (...) {
        // the session's own handlers have said what went wrong
    }
    fiber->done = true;
#ifdef ZANFIR_ASAN
    Worker* back = worker();
    __sanitizer_start_switch_fiber(nullptr, back->stack, back->stack_bytes);
#endif
    // The thread sanitizer is told in the worker: frames still return here.
    return std::move(fiber->back); // its stack goes once the worker is back
}

} // namespace

Fibers::Fibers(int threads) : _scheduler(std::make_shared<Scheduler>()) {
    auto scheduler = _scheduler;
    for (int i = 0; i < threads; ++i)
        std::thread([scheduler] { scheduler->runWorker(); }).detach();
}

Fibers::~Fibers() {
    {
        std::lock_guard guard(_scheduler->lock);
        _scheduler->stop = true;
    }
    _scheduler->work.notify_all();
    _scheduler->pokePoller();
}

void Fibers::spawn(std::function<void()> body) {
    auto fiber = std::make_unique<Fiber>();
    fiber->scheduler = _scheduler.get();
    fiber->body = std::move(body);
    Fiber* made = fiber.get();
#ifdef ZANFIR_TSAN
    // Making the context enters its stack a moment: as the fiber's.
    void* spawner = __tsan_get_current_fiber();
    made->tsan = __tsan_create_fiber(0);
    __tsan_switch_to_fiber(made->tsan, 0);
#endif
    new (&made->context) Context(std::allocator_arg, Stacks{made}, [made](Context&& caller) {
        return enter(made, std::move(caller));
    });
#ifdef ZANFIR_TSAN
    __tsan_switch_to_fiber(spawner, 0);
#endif
    fiber.release();
    {
        std::lock_guard guard(_scheduler->lock);
        made->id = _scheduler->next_id++;
        _scheduler->fibers.emplace(made->id, made);
    }
    _scheduler->push(made);
}

// Never inlined: the thread-local is read afresh after every wait.
[[gnu::noinline]] Fibers::Fiber* Fibers::current() {
    return this_fiber;
}

void Fibers::park() {
    Fiber* fiber = current();
    if (!fiber)
        return;
    int notified = NOTIFIED;
    if (fiber->state.compare_exchange_strong(notified, RUNNING))
        return;
    if (handlingException()) { // waits in its thread, which it keeps
        int running = RUNNING;
        if (fiber->state.compare_exchange_strong(running, BLOCKED))
            fiber->state.wait(BLOCKED);
        fiber->state = RUNNING;
        return;
    }
    [[maybe_unused]] Worker* to = worker();
#ifdef ZANFIR_ASAN
    __sanitizer_start_switch_fiber(&fiber->fake_stack, to->stack, to->stack_bytes);
#endif
#ifdef ZANFIR_TSAN
    __tsan_switch_to_fiber(to->tsan, 0);
#endif
    fiber->back = std::move(fiber->back).resume();
#ifdef ZANFIR_ASAN
    Worker* now = worker(); // perhaps another thread's
    __sanitizer_finish_switch_fiber(fiber->fake_stack, &now->stack, &now->stack_bytes);
#endif
}

void Fibers::unpark(Fiber* fiber) {
    if (wakes(fiber->state))
        fiber->scheduler->push(fiber);
}

void Fibers::interrupt(Fiber* fiber) {
    fiber->scheduler->interrupt(fiber);
}

int Fibers::poll(int fd, short events, int timeout_ms) {
    Fiber* fiber = current();
    if (!fiber || timeout_ms == 0 || handlingException()) {
        pollfd one{fd, events, 0};
        int ready = ::poll(&one, 1, timeout_ms);
        return ready > 0 ? one.revents : ready;
    }
    auto deadline = timeout_ms < 0 ? Clock::time_point::max()
                                   : Clock::now() + std::chrono::milliseconds(timeout_ms);
    return fiber->scheduler->wait(fiber, fd, events, deadline);
}

void Fibers::sleepFor(std::chrono::nanoseconds time) {
    Fiber* fiber = current();
    if (!fiber || handlingException()) {
        std::this_thread::sleep_for(time);
        return;
    }
    fiber->scheduler->wait(fiber, -1, 0,
                           Clock::now() + std::chrono::ceil<std::chrono::milliseconds>(time));
}

void Fibers::Condition::notifyAll() {
    for (Parked* parked : std::exchange(_fibers, {})) {
        parked->woken = true;
        unpark(parked->fiber);
    }
    _threads.notify_all();
}

void Fibers::aside(const std::function<void()>& work) {
    Fiber* fiber = current();
    if (!fiber) {
        work();
        return;
    }
    std::mutex lock;
    bool done = false;
    std::exception_ptr error;
    std::thread helper([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard guard(lock);
        done = true;
        unpark(fiber);
    });
    std::unique_lock guard(lock);
    parkUntil(guard, [&] { return done; });
    guard.unlock();
    helper.join(); // it has done all but leaving
    if (error)
        std::rethrow_exception(error);
}

} // namespace zanfir
