#include "runtime/Pace.h"

#include <algorithm>

namespace zanfir {

Pace::Pace(double rate, Clock::time_point now) : _rate(rate), _counted(now) {}

Pace::Clock::duration Pace::take(Clock::time_point now) {
    _allowed =
        std::min(BURST, _allowed + std::chrono::duration<double>(now - _counted).count() * _rate);
    _counted = now;
    Clock::duration wait{0};
    if (_allowed < 1) {
        wait = std::chrono::ceil<Clock::duration>(
            std::chrono::duration<double>((1 - _allowed) / _rate));
        _counted = now + wait;
        _allowed = 1;
    }
    _allowed -= 1;
    return wait;
}

} // namespace zanfir
