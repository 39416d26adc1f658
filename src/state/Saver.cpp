#include "state/Saver.h"

#include <iostream>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "T.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/Context.h"
#include "state/StateStore.h"

namespace zanfir {

namespace {
constexpr const char* ENTITY = "Main"; // the log names the engine
} // namespace

Saver::Saver(StateStore& store, std::function<std::shared_ptr<Context>()> copy,
             std::chrono::seconds interval, std::uint64_t journalLimit)
    : _store(store), _copy(std::move(copy)), _interval(interval), _journal_limit(journalLimit) {}

Saver::~Saver() {
    finish();
}

void Saver::start() {
    std::lock_guard guard(_lock);
    _last = std::chrono::steady_clock::now();
    if (!_thread.joinable())
        _thread = std::thread([this] { run(); });
}

void Saver::finish() {
    {
        std::lock_guard guard(_lock);
        if (_stop || !_thread.joinable())
            return;
        _stop = true;
    }
    _changed.notify_all();
    _thread.join();
    checkpoint();
}

std::uint64_t Saver::checkpoints() {
    std::lock_guard guard(_lock);
    return _checkpoints;
}

// On standard error as well as in the log: the operator must know.
void Saver::tell(int level, const std::string& text) {
    std::cerr << text << std::endl;
    Log::writeG(ENTITY, level, text);
}

bool Saver::due() {
    std::uint64_t bytes = _store.journalBytes();
    return bytes >= _journal_limit ||
           (bytes > 0 && std::chrono::steady_clock::now() - _last >= _interval);
}

void Saver::run() {
    std::unique_lock guard(_lock);
    while (!_stop) {
        _changed.wait_for(guard, std::chrono::seconds(1));
        if (_stop)
            break;
        guard.unlock();
        if (std::string error = _store.journalError(); !error.empty() && !_failing) {
            _failing = true;
            tell(Log::FAIL, Log::describe(SerializationException(error)));
        }
        if (due())
            checkpoint();
        guard.lock();
    }
}

void Saver::checkpoint() {
    _last = std::chrono::steady_clock::now();
    try {
        _store.checkpoint(_copy);
#ifdef __GLIBC__
        // The copy, and the scenes and replies since the last checkpoint,
        // leave free memory in the allocator's many per-thread pools: it
        // goes back to the system rather than stay with the process.
        ::malloc_trim(0);
#endif
        std::uint64_t count;
        {
            std::lock_guard guard(_lock);
            count = ++_checkpoints;
        }
        Log::writeG(ENTITY, Log::INFO,
                    T::Checkpoint + std::to_string(count) + T::CheckpointX +
                        std::to_string(_store.journalSyncs()));
        if (_failing && _store.journalError().empty()) {
            _failing = false;
            tell(Log::INFO, T::SavingAgain);
        }
    } catch (const std::exception& error) {
        // Told when it starts failing; the next time tries again.
        if (!_failing) {
            _failing = true;
            tell(Log::FAIL, Log::describe(error));
            Debug::traceStackG(error);
        }
    }
}

} // namespace zanfir
