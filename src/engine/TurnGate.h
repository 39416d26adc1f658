#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "runtime/Fibers.h"

namespace zanfir {

// The turns of the sessions: a session works (between two reads of its
// player's input) only while it holds a turn. A few turns are free at once,
// a few per processor (a session in its turn may wait too: for a lock, for a
// write of the log); the other sessions queue for them first come, first
// served, so that many players share the machine fairly and none waits for
// ever.
class TurnGate {
public:
    explicit TurnGate(int turns);

    // Waits for a turn and takes it.
    void beginTurn();
    // Gives the turn back: straight to the first session in the queue.
    void endTurn();
    // How many sessions wait for a turn now.
    std::size_t waiting();

private:
    // A queued session. It is woken under its own lock, not the gate's: the
    // gate stays free for the others while the wake-up is under way, and the
    // waiter cannot leave (and take its Waiter with it) before it is woken.
    struct Waiter {
        std::mutex lock;
        Fibers::Condition ready;
        bool go = false;
    };

    std::mutex _lock;
    std::deque<Waiter*> _queue;
    int _free;
};

} // namespace zanfir
