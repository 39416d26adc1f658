#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WorldSupport.h"
#include "engine/FrontEnd.h"
#include "engine/Scenes.h"
#include "engine/TurnGate.h"
#include "state/ContextFile.h"
#include "world/StateKeys.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

// Remembers the connections the engine closes.
class Connections : public FrontEnd {
public:
    void start() override {}
    void close(std::int32_t connection) override { closed.push_back(connection); }
    void close() override {}
    void stop(std::chrono::milliseconds) override {}
    std::vector<std::int32_t> closed;
};

class PlayerRegistryTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        copyFixture("castello", dir);
    }
    TempDir dir;
};

TEST_F(PlayerRegistryTest, PlayersOfASavedWorldAreFoundByName) {
    Context saved;
    saved.setString("USER.3.NAME", "Anna");
    saved.setString("USER.7.NAME", "Bruno");
    saved.setString("USER.3.SEEN.PLAYERS", "gA"); // Anna has met number 7
    saved.setString("USER.CARLO.NAME", "Carlo");  // no number: no player
    saved.setString("USER.9", "not a player, but its number is taken");
    saved.set("GLOBAL", std::make_shared<Context>());
    ContextFile::write(dir.file("castello.gcontext"), saved);

    TestMain main("castello", true, dir.path());
    main.load();
    EXPECT_EQ(main.players().userFind("Anna"), 3);
    EXPECT_EQ(main.players().userFind("Bruno"), 7);
    EXPECT_EQ(main.players().userFind("anna"), 0); // names are compared exactly
    EXPECT_EQ(main.players().userFind("Carlo"), 0);
    EXPECT_FALSE(main.players().userExist("9"));

    Session dario(main, "Dario");
    EXPECT_EQ(dario.adventure->userID(), 10);
    EXPECT_EQ(main.players().userFind("Dario"), 10);
    EXPECT_TRUE(main.players().userVerify("Dario", ""));
    EXPECT_FALSE(main.players().userVerify("Dario", "x"));

    // Players met are known by their item names, whether here or away.
    Session anna(main, "Anna");
    EXPECT_TRUE(anna.ctx().getBoolean("USER.3.SEEN.ITEMS.BRUNO"));
    EXPECT_FALSE(anna.ctx().getBoolean("USER.3.SEEN.ITEMS.DARIO"));
    anna.adventure->scene().printUsers();
    EXPECT_EQ(anna.output(), "Qui c'e' Dario.\n");
    EXPECT_TRUE(anna.ctx().getBoolean("USER.3.SEEN.ITEMS.DARIO"));
}

TEST_F(PlayerRegistryTest, EachSessionsOwnConnectionIsClosed) {
    TestMain main("castello", true, dir.path());
    main.load();
    Connections front;
    Session anna(main, "Anna", &front, 21), bruno(main, "Bruno", &front, 22);
    main.removeAdventure(*bruno.adventure, bruno.ctx());
    EXPECT_EQ(front.closed, std::vector<std::int32_t>{22});
    main.removeAdventure(*anna.adventure, anna.ctx());
    EXPECT_EQ(front.closed, (std::vector<std::int32_t>{22, 21}));
    main.removeAdventure(*anna.adventure, anna.ctx()); // no longer registered
    EXPECT_EQ(front.closed.size(), 2u);
}

// A kept list is taken again when the world's items change, even while
// the place is not: a player's state is written before their item comes
// (a login), and a scene may come in between.
TEST(ScenesTest, AListIsTakenAgainWhenTheItemsChange) {
    World world;
    Scenes scenes(world);
    Context items;
    items.indexBy(StateKeys::LOCATION, StateKeys::HIDDEN);
    items.setString("ANNA.LOCATION", "SALA");
    items.setBoolean("BICE.HIDDEN", true);
    items.setString("BICE.LOCATION", "SALA");
    auto names = [&] {
        std::vector<std::string> shown;
        for (const auto& item : *scenes.shown(items, "SALA"))
            shown.push_back(item->name());
        return shown;
    };
    EXPECT_TRUE(names().empty());
    auto anna = std::make_shared<User>(1, "ANNA", nullptr);
    world.putPlayer(anna);
    EXPECT_EQ(names(), std::vector<std::string>{"ANNA"});
    EXPECT_EQ(scenes.shown(items, "SALA"), scenes.shown(items, "SALA")) << "kept";
    world.putPlayer(std::make_shared<User>(2, "BICE", nullptr));
    items.setBoolean("BICE.HIDDEN", false);
    EXPECT_EQ(names(), (std::vector<std::string>{"ANNA", "BICE"}));
    world.removePlayer(anna);
    EXPECT_EQ(names(), std::vector<std::string>{"BICE"});
}

// A kept list follows its place: who hides there or comes out, who leaves
// while others stay. Player lines laid out for a list are never given for
// another.
TEST(ScenesTest, AListFollowsItsPlace) {
    World world;
    Scenes scenes(world);
    Context items;
    items.indexBy(StateKeys::LOCATION, StateKeys::HIDDEN);
    int id = 0;
    for (const char* name : {"ANNA", "BICE", "CARLA"}) {
        world.putPlayer(std::make_shared<User>(++id, name, nullptr));
        items.setString(std::string(name) + ".LOCATION", "SALA");
    }
    using Names = std::vector<std::string>;
    auto names = [&] {
        Names shown;
        for (const auto& item : *scenes.shown(items, "SALA"))
            shown.push_back(item->name());
        return shown;
    };
    EXPECT_EQ(names(), (Names{"ANNA", "BICE", "CARLA"}));
    items.setBoolean("BICE.HIDDEN", true);
    EXPECT_EQ(names(), (Names{"ANNA", "CARLA"}));
    items.setBoolean("BICE.HIDDEN", false);
    EXPECT_EQ(names(), (Names{"ANNA", "BICE", "CARLA"}));
    items.setString("ANNA.LOCATION", "TORRE");
    EXPECT_EQ(names(), (Names{"BICE", "CARLA"}));

    auto line = [](const Item& item) -> std::optional<std::string> { return item.name() + "\n"; };
    auto linesOf = [&](const std::shared_ptr<const Scenes::Items>& list) {
        scenes.playerLines("SALA", list, "80", line); // the first look lays nothing out
        auto lines = scenes.playerLines("SALA", list, "80", line);
        return lines ? lines->text : "none";
    };
    auto before = scenes.shown(items, "SALA");
    EXPECT_EQ(linesOf(before), "BICE\nCARLA\n");
    items.setString("CARLA.LOCATION", "TORRE");
    auto after = scenes.shown(items, "SALA");
    EXPECT_EQ(linesOf(after), "BICE\n");
    EXPECT_EQ(linesOf(before), "none");
}

TEST(TurnGateTest, TurnsGoToTheWaitersInTheirOrder) {
    TurnGate gate(1);
    gate.beginTurn();
    std::vector<int> order;
    std::mutex lock;
    std::vector<std::thread> sessions;
    for (int i = 1; i <= 3; ++i) {
        sessions.emplace_back([&, i] {
            gate.beginTurn();
            {
                std::lock_guard guard(lock);
                order.push_back(i);
            }
            gate.endTurn();
        });
        // Each queues before the next arrives.
        ASSERT_TRUE(waitUntil([&] { return gate.waiting() == static_cast<std::size_t>(i); }));
    }
    EXPECT_TRUE(order.empty()); // nobody works while the turn is held
    gate.endTurn();
    for (auto& session : sessions)
        session.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// Many sessions taking and giving back turns at once: never more at work
// than there are turns, every one gets through, and all the turns are free
// at the end (no more than them).
TEST(TurnGateTest, ManySessionsShareAFewTurns) {
    constexpr int TURNS = 3, SESSIONS = 24, ROUNDS = 300;
    TurnGate gate(TURNS);
    std::atomic<int> working = 0, most = 0, done = 0;
    std::vector<std::thread> sessions;
    for (int n = 0; n < SESSIONS; ++n) {
        sessions.emplace_back([&] {
            for (int round = 0; round < ROUNDS; ++round) {
                gate.beginTurn();
                int now = ++working;
                int seen = most;
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                if (round % 16 == 0)
                    std::this_thread::yield();
                --working;
                gate.endTurn();
                ++done;
            }
        });
    }
    for (auto& session : sessions)
        session.join();
    EXPECT_EQ(done, SESSIONS * ROUNDS);
    EXPECT_LE(most, TURNS);
    EXPECT_EQ(gate.waiting(), 0u);
    for (int n = 0; n < TURNS; ++n)
        gate.beginTurn();
    std::thread one_more([&] { gate.beginTurn(); });
    EXPECT_TRUE(waitUntil([&] { return gate.waiting() == 1; }));
    gate.endTurn();
    one_more.join();
}

// Sessions in fibers queue without their threads: a fiber that waits in its
// turn lets the others on, and they wait for the turns it holds.
TEST(TurnGateTest, FibersQueueForTurnsToo) {
    constexpr int TURNS = 3, SESSIONS = 24, ROUNDS = 100;
    TurnGate gate(TURNS);
    std::atomic<int> working = 0, most = 0, done = 0, queued = 0;
    {
        Fibers fibers(2);
        for (int n = 0; n < SESSIONS; ++n)
            fibers.spawn([&] {
                for (int round = 0; round < ROUNDS; ++round) {
                    gate.beginTurn();
                    int now = ++working;
                    most = std::max<int>(most, now);
                    queued = std::max<int>(queued, static_cast<int>(gate.waiting()));
                    Fibers::sleepFor(std::chrono::microseconds(round % 4 ? 0 : 200));
                    --working;
                    gate.endTurn();
                    ++done;
                }
            });
        EXPECT_TRUE(waitUntil([&] { return done == SESSIONS * ROUNDS; }, std::chrono::seconds(60)));
    }
    EXPECT_LE(most, TURNS);
    EXPECT_GT(queued, 0);
    EXPECT_EQ(gate.waiting(), 0u);
}

} // namespace
