#include "engine/TurnGate.h"

namespace zanfir {

TurnGate::TurnGate(int turns) : _free(turns) {}

void TurnGate::beginTurn() {
    Waiter waiter;
    {
        std::lock_guard guard(_lock);
        if (_free > 0 && _queue.empty()) {
            --_free;
            return;
        }
        _queue.push_back(&waiter);
    }
    std::unique_lock mine(waiter.lock);
    waiter.ready.wait(mine, [&] { return waiter.go; });
}

void TurnGate::endTurn() {
    Waiter* next;
    {
        std::lock_guard guard(_lock);
        if (_queue.empty()) {
            ++_free;
            return;
        }
        next = _queue.front();
        _queue.pop_front();
    }
    std::lock_guard theirs(next->lock);
    next->go = true;
    next->ready.notifyAll();
}

std::size_t TurnGate::waiting() {
    std::lock_guard guard(_lock);
    return _queue.size();
}

} // namespace zanfir
