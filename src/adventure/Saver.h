#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zanfir {

class Context;
class StateStore;

// Saves the shared world in the background. At an idle moment (every
// session waits for input, and the registration lock is held) the engine
// offers it the state: it copies it at once, at most once per interval, and
// its own thread writes the copy to the store. A moment that comes too soon
// is left to that thread, which asks for a new one when the interval is
// over, so that the latest state always reaches the store.
class Saver {
public:
    static constexpr std::chrono::milliseconds INTERVAL{100};

    // `retake` is called from the saver's thread, holding none of its locks,
    // when a moment was put off: it offers the state to the saver again if
    // every session is idle now.
    Saver(StateStore& store, std::function<void(Saver&)> retake);
    // Finishes first.
    ~Saver();
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    void offer(const Context& state);
    // Writes what is pending and stops: later offers are not written.
    void finish();

private:
    void run();
    void tell(int level, const std::string& text);

    StateStore& _store;
    std::function<void(Saver&)> _retake;
    // A large world is copied less often: the sessions wait while it is.
    std::chrono::milliseconds _interval = INTERVAL;
    std::mutex _lock; // after the registration lock
    std::condition_variable _changed;
    std::shared_ptr<Context> _pending;
    bool _wanted = false;
    bool _stop = false;
    bool _finished = false; // the thread has ended: offers are not taken
    bool _failing = false;  // the last write failed
    std::chrono::steady_clock::time_point _last;
    std::thread _thread;
};

} // namespace zanfir
