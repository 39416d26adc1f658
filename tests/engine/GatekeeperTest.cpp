#include <gtest/gtest.h>

#include "T.h"
#include "engine/Gatekeeper.h"

using namespace zanfir;

namespace {

struct Turned {
    Gatekeeper::Clock::time_point now = Gatekeeper::Clock::now();
};

Settings limits(std::size_t all, std::size_t perAddress, std::size_t newPlayers = 3,
                std::size_t addressFailures = 50) {
    Settings settings;
    settings.address_lockout_failures = addressFailures;
    settings.max_connections = all;
    settings.max_connections_per_address = perAddress;
    settings.new_players_per_minute = newPlayers;
    return settings;
}

std::string refusal(Gatekeeper& gate, const std::string& address) {
    auto refused = gate.connect(address);
    return refused ? refused->tell : "";
}

} // namespace

// An IPv6 client counts with its /64: one subscriber's block.
TEST(GatekeeperTest, ConnectionsAreCountedBySource) {
    EXPECT_EQ(Gatekeeper::source("10.0.0.7"), "10.0.0.7");
    EXPECT_EQ(Gatekeeper::source("2001:db8:1:2:3:4:5:6"), "2001:db8:1:2::/64");
    EXPECT_EQ(Gatekeeper::source("not an address"), "not an address");

    Gatekeeper gate(limits(4, 2));
    EXPECT_EQ(refusal(gate, "2001:db8:1:2::5"), "");
    EXPECT_EQ(refusal(gate, "2001:db8:1:2:aaaa::1"), "");
    EXPECT_EQ(refusal(gate, "2001:db8:1:2:bbbb::1"), T::TooManyFromAddress);
    EXPECT_EQ(refusal(gate, "2001:db8:1:3::1"), "");
    EXPECT_EQ(refusal(gate, "10.0.0.7"), "");
    EXPECT_EQ(refusal(gate, "10.0.0.8"), T::ServerFull);
    gate.disconnect("2001:db8:1:2::5");
    EXPECT_EQ(refusal(gate, "10.0.0.8"), "");
    gate.disconnect("10.0.0.9"); // never counted: nothing changes
    EXPECT_EQ(refusal(gate, "10.0.0.9"), T::ServerFull);
}

// Wrong passwords and new players count within their windows only.
TEST(GatekeeperTest, RecentEventsOnly) {
    Turned clock;
    Gatekeeper gate(limits(100000, 100000), [&] { return clock.now; });
    for (std::size_t i = 0; i + 1 < Gatekeeper::LOGIN_FAILURES; ++i)
        gate.loginFailed("10.0.0.7", "Anna");
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Anna"));
    clock.now += std::chrono::minutes(5);
    gate.loginFailed("10.0.0.7", "Anna");
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Anna"));
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "ANNA")); // whatever its case
    EXPECT_FALSE(gate.lockedOut("10.0.0.8", "Anna"));

    // Many other addresses fail meanwhile: the lock-out is kept, the old
    // failures are forgotten.
    clock.now += std::chrono::minutes(4);
    for (int i = 0; i < 10000; ++i) {
        gate.loginFailed("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), "Anna");
        clock.now += std::chrono::milliseconds(1);
    }
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Anna"));
    clock.now += std::chrono::minutes(2); // the first nine are ten minutes old
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Anna"));
    EXPECT_EQ(refusal(gate, "10.0.0.7"), "");

    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(gate.mayCreatePlayer("10.0.0.7"));
    EXPECT_FALSE(gate.mayCreatePlayer("10.0.0.7"));
    EXPECT_TRUE(gate.mayCreatePlayer("10.0.0.8"));
    clock.now += std::chrono::seconds(61);
    EXPECT_TRUE(gate.mayCreatePlayer("10.0.0.7"));
}

// Wrong passwords lock out where they came from: an IPv4 address alone, an
// IPv6 client's whole /64, whichever of its addresses it guesses from.
TEST(GatekeeperTest, LockOutsByAddressAndByNetwork) {
    Gatekeeper gate(limits(100000, 100000, 3, Gatekeeper::LOGIN_FAILURES));
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES; ++i) {
        gate.loginFailed("10.0.0." + std::to_string(i % 2 ? 7 : 8), "Anna");
        gate.loginFailed("2001:db8:1:2::" + std::to_string(i + 1), "Anna");
    }
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Anna"));
    EXPECT_FALSE(gate.lockedOut("10.0.0.8", "Anna"));
    EXPECT_TRUE(gate.lockedOut("2001:db8:1:2:ffff::9", "Anna"));
    EXPECT_EQ(refusal(gate, "2001:db8:1:2::abcd"), T::TooManyFailures);
    EXPECT_FALSE(gate.lockedOut("2001:db8:1:3::1", "Anna"));
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES / 2; ++i)
        gate.loginFailed("10.0.0.7", "Anna");
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Anna"));
    EXPECT_FALSE(gate.lockedOut("10.0.0.8", "Anna"));
}

// Guesses at one name lock that name for the guesser only: the household
// behind the address still plays, with its own names, until the guesses
// at any names pass AddressLockoutFailures.
TEST(GatekeeperTest, ANameIsLockedForItsGuesserOnly) {
    Gatekeeper gate(limits(100000, 100000, 3, 25));
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES; ++i)
        gate.loginFailed("10.0.0.7", "Anna");
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Anna"));
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Bruno"));
    EXPECT_FALSE(gate.lockedOut("10.0.0.8", "Anna"));
    EXPECT_FALSE(gate.lockedOut("10.0.0.7"));
    EXPECT_EQ(refusal(gate, "10.0.0.7"), "");

    // Fewer than ten at each name, more than the address may make in all.
    for (int i = 0; i < 14; ++i)
        gate.loginFailed("10.0.0.7", "Nome" + std::to_string(i % 7));
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Nome1"));
    gate.loginFailed("10.0.0.7", "Carla");
    EXPECT_TRUE(gate.lockedOut("10.0.0.7"));
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Dario"));
    EXPECT_EQ(refusal(gate, "10.0.0.7"), T::TooManyFailures);
    EXPECT_FALSE(gate.lockedOut("10.0.0.8", "Dario"));
}

// An event counts for exactly its window; forgetting the addresses of old
// events forgets none that has a recent one.
TEST(GatekeeperTest, WindowsAndSweeps) {
    Turned clock;
    const auto start = clock.now;
    Gatekeeper gate(limits(100000, 100000), [&] { return clock.now; });
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES; ++i)
        gate.loginFailed("10.0.0.7", "Anna");
    clock.now = start + Gatekeeper::FAILURE_WINDOW - std::chrono::nanoseconds(1);
    EXPECT_TRUE(gate.lockedOut("10.0.0.7", "Anna"));
    clock.now = start + Gatekeeper::FAILURE_WINDOW;
    EXPECT_FALSE(gate.lockedOut("10.0.0.7", "Anna"));

    // Half the failures old, half recent, when thousands of other addresses
    // make the gatekeeper sweep: the recent half still counts.
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES / 2; ++i)
        gate.loginFailed("10.0.0.8", "Anna");
    clock.now += std::chrono::minutes(9);
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES / 2; ++i)
        gate.loginFailed("10.0.0.8", "Anna");
    clock.now += std::chrono::minutes(2);
    for (int i = 0; i < 10000; ++i)
        gate.loginFailed("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), "Anna");
    for (std::size_t i = 0; i < Gatekeeper::LOGIN_FAILURES / 2; ++i)
        gate.loginFailed("10.0.0.8", "Anna");
    EXPECT_TRUE(gate.lockedOut("10.0.0.8", "Anna"));
}
