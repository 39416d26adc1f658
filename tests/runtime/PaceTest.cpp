#include <gtest/gtest.h>

#include "runtime/Pace.h"

using namespace std::chrono_literals;
using zanfir::Pace;

// Four lines a second: the burst at once, then one line each quarter of a
// second, whatever the intervals; time passing refills the burst, never
// past it.
TEST(PaceTest, BurstThenRateRefilledAsTimePasses) {
    Pace::Clock::time_point now{};
    Pace pace(4, now);
    for (int line = 0; line < Pace::BURST; ++line)
        EXPECT_EQ(pace.take(now), 0ms) << line;
    EXPECT_EQ(pace.take(now), 250ms);
    now += 250ms; // it came in after its wait

    // A steady player, a line each 250 ms: under a second apart, each
    // interval counts. One sooner waits for the rest of its quarter.
    for (int line = 0; line < 20; ++line)
        EXPECT_EQ(pace.take(now += 250ms), 0ms) << line;
    EXPECT_EQ(pace.take(now += 125ms), 125ms);
    now += 125ms;

    // Silent for an hour: ten lines at once, no more.
    now += 1h;
    for (int line = 0; line < Pace::BURST; ++line)
        EXPECT_EQ(pace.take(now), 0ms) << line;
    EXPECT_EQ(pace.take(now), 250ms);

    // A slow rate waits whole seconds.
    Pace slow(0.5, now);
    for (int line = 0; line < Pace::BURST; ++line)
        slow.take(now);
    EXPECT_EQ(slow.take(now), 2s);
}
