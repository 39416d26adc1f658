#include "adventure/TurnGate.h"

namespace zanfir {

TurnGate::TurnGate(int turns) : _free(turns) {}

void TurnGate::beginTurn() {
    std::unique_lock guard(_lock);
    if (_free > 0 && _queue.empty()) {
        --_free;
        return;
    }
    Waiter waiter;
    _queue.push_back(&waiter);
    waiter.ready.wait(guard, [&] { return waiter.go; });
}

void TurnGate::endTurn() {
    std::lock_guard guard(_lock);
    if (_queue.empty()) {
        ++_free;
        return;
    }
    Waiter* next = _queue.front();
    _queue.pop_front();
    next->go = true;
    next->ready.notify_one();
}

std::size_t TurnGate::waiting() {
    std::lock_guard guard(_lock);
    return _queue.size();
}

} // namespace zanfir
