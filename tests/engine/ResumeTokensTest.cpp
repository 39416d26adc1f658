#include <gtest/gtest.h>

#include "engine/ResumeTokens.h"

using namespace zanfir;

// A token serves once, from its address, before it expires; a player
// holds one at a time.
TEST(ResumeTokensTest, OnceFromItsAddressInItsTime) {
    using namespace std::chrono_literals;
    ResumeTokens tokens(30min);
    auto now = ResumeTokens::Clock::now();
    std::string anna = tokens.issue("Anna", "10.0.0.1", now);
    EXPECT_EQ(anna.size(), 64u);
    EXPECT_EQ(tokens.redeem(anna, "10.0.0.1", now + 29min), "Anna");
    EXPECT_EQ(tokens.redeem(anna, "10.0.0.1", now + 29min), std::nullopt);

    std::string late = tokens.issue("Anna", "10.0.0.1", now);
    EXPECT_EQ(tokens.redeem(late, "10.0.0.1", now + 30min), std::nullopt);

    std::string first = tokens.issue("Bruno", "10.0.0.2", now);
    std::string second = tokens.issue("Bruno", "10.0.0.2", now);
    EXPECT_NE(first, second);
    EXPECT_EQ(tokens.redeem(first, "10.0.0.2", now), std::nullopt);
    EXPECT_EQ(tokens.redeem(second, "10.0.0.3", now), std::nullopt);
    EXPECT_EQ(tokens.redeem(second, "10.0.0.2", now), std::nullopt); // spent by the try above
    EXPECT_EQ(tokens.redeem("", "10.0.0.2", now), std::nullopt);
}
