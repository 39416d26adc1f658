#pragma once

#include <chrono>

namespace zanfir {

// How fast a client's lines are taken: at most `rate` a second on average,
// in bursts of BURST. A bucket of BURST lines, refilled at the rate as time
// passes; a line that finds it empty waits for the next to come in.
class Pace {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr double BURST = 10;

    // `rate` > 0; the bucket is full at `now`.
    Pace(double rate, Clock::time_point now);

    // A line comes at `now`: how long it must wait before it is taken (zero:
    // at once). Lines come in order, each after the wait of the one before.
    Clock::duration take(Clock::time_point now);

private:
    const double _rate;
    double _allowed = BURST; // lines that may come at once now
    Clock::time_point _counted;
};

} // namespace zanfir
