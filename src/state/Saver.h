#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zanfir {

class Context;
class StateStore;

// Writes checkpoints of the shared world on a thread of its own, while play
// goes on: when the store's journal has grown past a limit, at least every
// interval while there are changes, and a last one when it finishes. A
// checkpoint or a journal that cannot be written is told on standard error
// and in the log, once, and once more when saving works again.
class Saver {
public:
    // `copy` gives the copy of the state to save.
    Saver(StateStore& store, std::function<std::shared_ptr<Context>()> copy,
          std::chrono::seconds interval, std::uint64_t journalLimit);
    // Finishes first.
    ~Saver();
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    void start();
    // Writes a last checkpoint, when one was started, and stops.
    void finish();
    // How many checkpoints were written.
    std::uint64_t checkpoints();

private:
    void run();
    // Whether a checkpoint is due now: the journal's size, the time.
    bool due();
    void checkpoint();
    void tell(int level, const std::string& text);

    StateStore& _store;
    std::function<std::shared_ptr<Context>()> _copy;
    const std::chrono::seconds _interval;
    const std::uint64_t _journal_limit;
    std::mutex _lock;
    std::condition_variable _changed;
    bool _stop = false;
    bool _failing = false; // told: saving fails
    std::uint64_t _checkpoints = 0;
    std::chrono::steady_clock::time_point _last;
    std::thread _thread;
};

} // namespace zanfir
