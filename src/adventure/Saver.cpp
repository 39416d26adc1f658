#include "adventure/Saver.h"

#include <iostream>
#include <utility>

#include "T.h"
#include "adventure/StateStore.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Log.h"

namespace zanfir {

namespace {
constexpr const char* ENTITY = "Main"; // the log names the engine
} // namespace

// On standard error as well as in the log: the operator must know.
void Saver::tell(int level, const std::string& text) {
    std::cerr << text << std::endl;
    Log::writeG(ENTITY, level, text);
}

Saver::Saver(StateStore& store, std::function<void(Saver&)> retake)
    : _store(store), _retake(std::move(retake)) {}

Saver::~Saver() {
    finish();
}

void Saver::finish() {
    {
        std::lock_guard save(_lock);
        _stop = true;
        if (!_thread.joinable())
            _finished = true;
    }
    _changed.notify_all();
    if (_thread.joinable())
        _thread.join();
}

void Saver::offer(const Context& state) {
    auto now = std::chrono::steady_clock::now();
    std::lock_guard save(_lock);
    if (_finished)
        return;
    if (!_thread.joinable())
        _thread = std::thread([this] { run(); });
    if (now - _last < _interval && !_stop) {
        _wanted = true;
    } else {
        _pending = state.clone();
        _last = now;
        _wanted = false;
        _interval = std::max(INTERVAL, 10 * std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - now));
    }
    _changed.notify_all();
}

void Saver::run() {
    std::unique_lock save(_lock);
    for (;;) {
        if (_pending) {
            auto state = std::move(_pending);
            save.unlock();
            try {
                _store.saveShared(*state);
                if (std::exchange(_failing, false))
                    tell(Log::INFO, T::SavingAgain);
            } catch (const std::exception& error) {
                // Told when it starts failing; the next moment tries again.
                if (!std::exchange(_failing, true)) {
                    tell(Log::FAIL, Log::describe(error));
                    Debug::traceStackG(error);
                }
            }
            save.lock();
        } else if (_wanted && (_stop || std::chrono::steady_clock::now() >= _last + _interval)) {
            save.unlock();
            _retake(*this);
            save.lock();
            if (_stop && !_pending)
                break;
            if (!_pending)
                _changed.wait(save); // busy now: the next idle moment takes it
        } else if (_stop) {
            break;
        } else if (_wanted) {
            _changed.wait_until(save, _last + _interval);
        } else {
            _changed.wait(save);
        }
    }
    _finished = true;
}

} // namespace zanfir
