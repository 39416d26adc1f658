#include "adventure/TurnGate.h"

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
    if (!waiter.fiber) {
        waiter.ready.wait(mine, [&] { return waiter.go; });
        return;
    }
    Fibers::parkUntil(mine, [&] { return waiter.go; });
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
    if (next->fiber)
        Fibers::unpark(next->fiber);
    else
        next->ready.notify_one();
}

std::size_t TurnGate::waiting() {
    std::lock_guard guard(_lock);
    return _queue.size();
}

} // namespace zanfir
