#include <gtest/gtest.h>

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "runtime/Fibers.h"
#include "runtime/Waker.h"

using zanfir::Fibers;
using namespace std::chrono_literals;

namespace {

// Runs `count` fibers of `body(n)` and waits for them all; false when they
// did not end in time.
bool runAll(Fibers& fibers, int count, const std::function<void(int)>& body) {
    std::mutex lock;
    std::condition_variable ended;
    int left = count;
    for (int n = 0; n < count; ++n)
        fibers.spawn([&, n] {
            body(n);
            std::lock_guard guard(lock);
            if (--left == 0)
                ended.notify_all();
        });
    std::unique_lock guard(lock);
    return ended.wait_for(guard, 60s, [&] { return left == 0; });
}

struct SocketPair {
    int ends[2];
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); }
    ~SocketPair() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
};

// Many fibers on two threads, each answering on its socket: the waits for
// a descriptor, for a time limit and for a moment all give the thread up.
TEST(FibersTest, SocketsTimersAndSleeps) {
    constexpr int CLIENTS = 40, ROUNDS = 50;
    Fibers fibers(2);
    std::vector<SocketPair> pairs(CLIENTS);
    std::atomic<int> answered = 0;
    std::thread client([&] {
        for (int round = 0; round < ROUNDS; ++round)
            for (auto& pair : pairs) {
                char c = static_cast<char>('a' + round % 26), back = 0;
                ASSERT_EQ(::write(pair.ends[0], &c, 1), 1);
                ASSERT_EQ(::read(pair.ends[0], &back, 1), 1);
                EXPECT_EQ(back, c - 'a' + 'A');
            }
    });
    std::atomic<int> quiet = 0, slept = 0;
    bool ended = runAll(fibers, CLIENTS + 2, [&](int n) {
        if (n == CLIENTS) { // a silent socket: the time limit ends the wait
            SocketPair silent;
            auto start = std::chrono::steady_clock::now();
            if (Fibers::poll(silent.ends[1], POLLIN, 50) == 0 &&
                std::chrono::steady_clock::now() - start >= 50ms)
                ++quiet;
            return;
        }
        if (n == CLIENTS + 1) {
            auto start = std::chrono::steady_clock::now();
            Fibers::sleepFor(30ms);
            if (std::chrono::steady_clock::now() - start >= 30ms)
                ++slept;
            return;
        }
        int fd = pairs[n].ends[1];
        for (int round = 0; round < ROUNDS; ++round) {
            int ready = Fibers::poll(fd, POLLIN, 10000);
            ASSERT_TRUE(ready & POLLIN) << ready;
            char c;
            ASSERT_EQ(::read(fd, &c, 1), 1);
            c = static_cast<char>(c - 'a' + 'A');
            ASSERT_EQ(::write(fd, &c, 1), 1);
            ++answered;
        }
    });
    client.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(answered, CLIENTS * ROUNDS);
    EXPECT_EQ(quiet, 1);
    EXPECT_EQ(slept, 1);

    // Outside a fiber the same calls block the thread.
    SocketPair pair;
    EXPECT_EQ(Fibers::poll(pair.ends[1], POLLIN, 10), 0);
    ASSERT_EQ(::write(pair.ends[0], "x", 1), 1);
    EXPECT_EQ(Fibers::poll(pair.ends[1], POLLIN, 1000), POLLIN);
}

// Parked fibers woken by threads; each keeps the exception it is handling
// while it waits (in its own thread meanwhile).
TEST(FibersTest, ParkedFibersKeepTheirOwn) {
    constexpr int COUNT = 64;
    Fibers fibers(2);
    std::mutex lock;
    std::vector<Fibers::Fiber*> parked(COUNT, nullptr);
    std::vector<bool> woken(COUNT, false);
    std::atomic<int> kept = 0;
    std::thread waker([&] {
        for (int done = 0; done < COUNT;) {
            std::lock_guard guard(lock);
            for (std::size_t n = 0; n < parked.size(); ++n)
                if (parked[n] && !woken[n]) {
                    woken[n] = true;
                    Fibers::unpark(parked[n]);
                    ++done;
                }
            std::this_thread::sleep_for(100us);
        }
    });
    bool ended = runAll(fibers, COUNT, [&](int n) {
        auto untilWoken = [&] {
            std::unique_lock guard(lock);
            parked[n] = Fibers::current();
            while (!woken[n]) {
                guard.unlock();
                Fibers::park();
                guard.lock();
            }
        };
        if (n % 2) // half of them give their thread up
            untilWoken();
        try {
            throw std::runtime_error(std::to_string(n));
        } catch (const std::exception&) {
            if (n % 2 == 0)
                untilWoken();
            Fibers::sleepFor(1ms); // others throw and catch meanwhile
            try {
                throw; // the one this fiber caught
            } catch (const std::exception& again) {
                if (again.what() == std::to_string(n))
                    ++kept;
            }
        }
    });
    waker.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(kept, COUNT);
    Fibers::park(); // outside a fiber: nothing
}

// Long work goes aside: the thread serves the other fibers meanwhile, and
// what the work throws reaches the fiber.
TEST(FibersTest, WorkAsideFreesTheThread) {
    Fibers fibers(1);
    std::atomic<bool> aside = false, served = false;
    std::atomic<int> thrown = 0;
    bool ended = runAll(fibers, 2, [&](int n) {
        if (n == 0) {
            Fibers::aside([&] {
                aside = true;
                for (int i = 0; i < 500 && !served; ++i)
                    std::this_thread::sleep_for(10ms);
            });
            try {
                Fibers::aside([] { throw std::runtime_error("no"); });
            } catch (const std::runtime_error&) {
                ++thrown;
            }
        } else {
            while (!aside)
                Fibers::sleepFor(1ms);
            served = true; // while the first fiber's work is aside
        }
    });
    ASSERT_TRUE(ended);
    EXPECT_TRUE(served);
    EXPECT_EQ(thrown, 1);
    int here = 0;
    Fibers::aside([&] { here = 1; });
    EXPECT_EQ(here, 1);
}

// A descriptor the scheduler cannot wait for is told at once, and leaves no
// wait behind: no timer of it cuts the fiber's next sleep short.
TEST(FibersTest, AWaitThatCannotBeRegisteredFailsAtOnce) {
    Fibers fibers(1);
    char path[] = "/tmp/fibers-XXXXXX";
    int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    ::unlink(path);
    std::atomic<int> closed = 0, plain = 0, soon = 0, slept = 0;
    bool ended = runAll(fibers, 1, [&](int) {
        auto start = std::chrono::steady_clock::now();
        if (Fibers::poll(1 << 20, POLLIN, 200) == -1 && errno == EBADF)
            ++closed;
        if (Fibers::poll(file, POLLIN, 200) == -1 && errno == EPERM) // a file: no waiting
            ++plain;
        if (std::chrono::steady_clock::now() - start < 200ms)
            ++soon;
        start = std::chrono::steady_clock::now();
        Fibers::sleepFor(400ms);
        if (std::chrono::steady_clock::now() - start >= 400ms)
            ++slept;
    });
    ::close(file);
    ASSERT_TRUE(ended);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(soon, 1);
    EXPECT_EQ(slept, 1);
}

// At the end the threads go once nothing is ready; a fiber parked for good
// is let go as it is (what its body holds is freed), never run again.
TEST(FibersTest, AShutdownLetsParkedFibersGo) {
    auto held = std::make_shared<int>(0);
    std::atomic<int> parked = 0, resumed = 0, finished = 0; // outlive the fibers
    {
        Fibers fibers(2);
        for (int n = 0; n < 3; ++n)
            fibers.spawn([held, &parked, &resumed] {
                ++parked;
                Fibers::park(); // nobody wakes it
                Fibers::park();
                ++resumed;
            });
        fibers.spawn([held, &finished] { // a timer still to come at the end
            ++finished;
            Fibers::sleepFor(10s);
        });
        for (int i = 0; i < 500 && (parked < 3 || finished < 1); ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(parked, 3);
    }
    for (int i = 0; i < 500 && held.use_count() > 1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(resumed, 0);
}

} // namespace

// A wake from another thread ends a fiber's wait for its socket, or its
// next wait when none runs; wakes within the pace of the last one told are
// told together once it has passed.
TEST(FibersTest, AWakeEndsAWaitAndIsPaced) {
    Fibers fibers(2);
    SocketPair pair;
    zanfir::Waker waker;
    std::atomic<bool> waiting{false};
    std::vector<std::chrono::steady_clock::time_point> told;
    std::thread waking([&] {
        while (!waiting)
            std::this_thread::sleep_for(1ms);
        waker.wake();
        std::this_thread::sleep_for(10ms);
        waker.wake();
        waker.wake();
    });
    ASSERT_TRUE(runAll(fibers, 1, [&](int) {
        auto end = std::chrono::steady_clock::now() + 1s;
        waiting = true;
        while (std::chrono::steady_clock::now() < end) {
            bool woken = false;
            waker.poll(pair.ends[0], POLLIN, 1000, woken);
            if (woken)
                told.push_back(std::chrono::steady_clock::now());
        }
    }));
    waking.join();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_GE(told[1] - told[0], zanfir::Waker::PACE - 1ms);
    EXPECT_LT(told[1] - told[0], 500ms);
}
