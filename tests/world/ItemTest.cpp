#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WorldSupport.h"
#include "runtime/Errors.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Quote.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

// Two players in one shared world.
class ItemStateTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        copyFixture("castello", dir); // a shared world saves its state
        main = std::make_unique<TestMain>("castello", true, dir.path());
        main->load();
        shared = main->getGlobalContext();
        mario = std::make_unique<Session>(*main, "Mario");
        luigi = std::make_unique<Session>(*main, "Luigi");
    }

    TempDir dir;
    std::unique_ptr<TestMain> main;
    std::shared_ptr<Context> shared;
    std::unique_ptr<Session> mario, luigi;
};

TEST_F(ItemStateTest, TakeDropAndPresence) {
    Adventure& m = *mario->adventure;
    Adventure& l = *luigi->adventure;
    auto lanterna = main->world().getItem("LANTERNA");
    EXPECT_EQ(m.getLocation()->name(), "INGRESSO");
    EXPECT_TRUE(m.isItemHere(*lanterna));
    EXPECT_FALSE(m.isItemOwned(*lanterna));

    EXPECT_TRUE(lanterna->takeUp(m, *shared));
    EXPECT_EQ(shared->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "");
    EXPECT_TRUE(shared->getBoolean("USER.1.INVENTORY.LANTERNA"));
    EXPECT_TRUE(m.isItemOwned(*lanterna) && l.isItemOwned(*lanterna));
    EXPECT_TRUE(m.isItemCarried(*lanterna));
    EXPECT_FALSE(l.isItemCarried(*lanterna));
    EXPECT_FALSE(m.isItemHere(*lanterna) || l.isItemHere(*lanterna));
    EXPECT_TRUE(m.isItemPresent(*lanterna));
    EXPECT_FALSE(l.isItemPresent(*lanterna));
    EXPECT_EQ(m.getItemLocation(*lanterna), nullptr);

    // Mario walks to the hall and drops it there.
    mario->user->setLocation(m, *shared, *main->world().getLocation("SALA"));
    EXPECT_EQ(shared->getString("USER.1.LOCATION"), "SALA");
    EXPECT_EQ(shared->getString("GLOBAL.ITEMS.MARIO.LOCATION"), "SALA");
    EXPECT_FALSE(lanterna->takeUp(l, *shared)); // carried by Mario
    EXPECT_FALSE(lanterna->dropDown(l, *shared));
    EXPECT_TRUE(lanterna->dropDown(m, *shared));
    EXPECT_FALSE(shared->getBoolean("USER.1.INVENTORY.LANTERNA"));
    EXPECT_EQ(m.getItemLocation(*lanterna)->name(), "SALA");
    EXPECT_TRUE(m.isItemHere(*lanterna));
    EXPECT_FALSE(l.isItemHere(*lanterna));

    // Seen flags belong to each player.
    lanterna->setSeen(l, *shared, true);
    EXPECT_TRUE(shared->getBoolean("USER.2.SEEN.ITEMS.LANTERNA"));
    EXPECT_TRUE(l.isItemSeen(*lanterna));
    EXPECT_FALSE(m.isItemSeen(*lanterna));

    // A stored location that the map lacks is an error when it is read.
    shared->setString("GLOBAL.ITEMS.LANTERNA.LOCATION", "CANTINA");
    EXPECT_THROW(m.getItemLocation(*lanterna), LocationNotFoundException);
}

TEST_F(ItemStateTest, HidingAndDeleting) {
    Adventure& m = *mario->adventure;
    Adventure& l = *luigi->adventure;
    auto lanterna = main->world().getItem("LANTERNA");

    // Hiding a carried item drops it first.
    lanterna->takeUp(m, *shared);
    lanterna->setHidden(m, *shared, true);
    EXPECT_FALSE(m.isItemCarried(*lanterna));
    EXPECT_EQ(shared->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "INGRESSO");
    EXPECT_TRUE(m.isItemHidden(*lanterna) && l.isItemHidden(*lanterna));
    lanterna->setHidden(m, *shared, false);
    EXPECT_FALSE(l.isItemHidden(*lanterna));

    // Another player's item cannot be hidden; showing it always works.
    lanterna->takeUp(l, *shared);
    try {
        lanterna->setHidden(m, *shared, true);
        ADD_FAILURE() << "no error";
    } catch (const ItemNotOwnedException& e) {
        EXPECT_STREQ(e.what(), "Oggetto posseduto da un altro giocatore: 'LANTERNA'");
    }
    EXPECT_TRUE(l.isItemCarried(*lanterna));
    EXPECT_FALSE(m.isItemHidden(*lanterna));
    lanterna->setHidden(m, *shared, false);

    // deleteAll leaves the item nowhere, with the player's flags alone.
    auto player = mario->user;
    EXPECT_TRUE(shared->getBoolean("GLOBAL.ITEMS.MARIO.USER"));
    player->deleteAll(m, *shared);
    EXPECT_FALSE(shared->exist("GLOBAL.ITEMS.MARIO"));
    EXPECT_EQ(player->Item::getLocation(m, *shared), nullptr);
    EXPECT_FALSE(player->isHidden(m, *shared));
    EXPECT_TRUE(player->isOwned(m, *shared));
    EXPECT_EQ(m.getLocation()->name(), "INGRESSO"); // the player's own key stays
}

// Players race for one lantern: taking, dropping and moving it back and
// forth. At no moment may two hold it, or may it lie somewhere while held.
TEST_F(ItemStateTest, RacingPlayersNeverShareAnItem) {
    auto lanterna = main->world().getItem("LANTERNA");
    auto ingresso = main->world().getLocation("INGRESSO"), sala = main->world().getLocation("SALA");
    std::vector<std::unique_ptr<Session>> players;
    for (const char* name : {"Anna", "Bruno", "Carla", "Dario"})
        players.push_back(std::make_unique<Session>(*main, name));
    std::atomic<int> holders{0}, taken{0}, faults{0};
    std::vector<std::thread> threads;
    for (auto& player : players) {
        Adventure& session = *player->adventure;
        threads.emplace_back([&] {
            for (int round = 0; round < 300; ++round) {
                if (!session.takeItem(*lanterna))
                    continue;
                ++taken;
                if (++holders > 1 || !shared->getString("GLOBAL.ITEMS.LANTERNA.LOCATION").empty())
                    ++faults;
                --holders;
                if (!session.dropItem(*lanterna))
                    ++faults;
            }
        });
    }
    threads.emplace_back([&] { // a mover, as an author's LANTERNA.goto does
        for (int round = 0; round < 300; ++round)
            mario->adventure->setItemLocation(*lanterna, round % 2 ? ingresso : sala);
    });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(faults, 0);
    EXPECT_GT(taken, 0);
    EXPECT_FALSE(shared->getString("GLOBAL.ITEMS.LANTERNA.LOCATION").empty());
    for (int id = 1; id <= 6; ++id)
        EXPECT_FALSE(shared->getBoolean("USER." + std::to_string(id) + ".INVENTORY.LANTERNA"));
}

TEST_F(ItemStateTest, PlayersAndQuotes) {
    Adventure& m = *mario->adventure;
    Adventure& l = *luigi->adventure;
    auto lanterna = main->world().getItem("LANTERNA");
    EXPECT_FALSE(m.isItemUser(*lanterna) || m.isItemMyself(*lanterna));
    EXPECT_TRUE(m.isItemUser(*luigi->user));
    EXPECT_FALSE(m.isItemMyself(*luigi->user));
    EXPECT_TRUE(m.isItemMyself(*mario->user));
    EXPECT_TRUE(m.isItemHere(*luigi->user)); // players stand where they are
    EXPECT_EQ(m.userID(), 1);
    EXPECT_EQ(l.userName(), "Luigi");

    auto sala = main->world().getLocation("SALA");
    EXPECT_FALSE(mario->user->isLocationSeen(m, *shared, *sala));
    mario->user->setLocationSeen(m, *shared, *sala, true);
    EXPECT_TRUE(shared->getBoolean("USER.1.SEEN.LOCATIONS.SALA"));
    EXPECT_FALSE(luigi->user->isLocationSeen(l, *shared, *sala));

    EXPECT_EQ(mario->user->getQuote(), nullptr);
    mario->user->putQuote(luigi->user, "ciao");
    mario->user->putQuote(luigi->user, "come va?");
    auto first = mario->user->getQuote();
    EXPECT_EQ(first->user(), luigi->user);
    EXPECT_EQ(first->text(), "ciao");
    EXPECT_EQ(mario->user->getQuote()->text(), "come va?");
    EXPECT_EQ(mario->user->getQuote(), nullptr);

    // Past either limit the oldest sentences go.
    mario->user->setQuoteLimits(3, 10);
    for (const char* text : {"uno", "due", "tre", "quattro"})
        mario->user->putQuote(luigi->user, text);
    EXPECT_EQ(mario->user->getQuote()->text(), "tre"); // "due" went too: 13 bytes
    EXPECT_EQ(mario->user->getQuote()->text(), "quattro");
    EXPECT_EQ(mario->user->getQuote(), nullptr);
}

TEST_F(WorldTest, InitialStateOfANewPlayer) {
    TestMain main("castello");
    main.load();
    Session session(main, "Anna");
    Context& ctx = session.ctx();
    // Items carried from the start are in the inventory and seen.
    EXPECT_TRUE(ctx.getBoolean("USER.1.INVENTORY.SPADA"));
    EXPECT_TRUE(ctx.getBoolean("USER.1.SEEN.ITEMS.SPADA"));
    EXPECT_FALSE(ctx.getBoolean("USER.1.INVENTORY.LANTERNA"));
    EXPECT_TRUE(ctx.exist("USER.1.SEEN.ITEMS.LANTERNA"));
    EXPECT_EQ(ctx.getString("USER.1.LOCATION"), "INGRESSO");
    EXPECT_EQ(ctx.getString("GLOBAL.ITEMS.SPADA.LOCATION"), "");
    EXPECT_FALSE(ctx.getBoolean("GLOBAL.ITEMS.SPADA.HIDDEN"));
    EXPECT_TRUE(ctx.getBoolean("GLOBAL.ITEMS.ANNA.USER"));
    EXPECT_EQ(ctx.getString("GLOBAL.ITEMS.ANNA.LOCATION"), "INGRESSO");
    EXPECT_FALSE(ctx.exist("GLOBAL.ITEMS.ANNA.HIDDEN") &&
                 ctx.getBoolean("GLOBAL.ITEMS.ANNA.HIDDEN"));

    // The setters of the initial state keep it consistent, the last winning.
    Item item("X", nullptr, nullptr, nullptr, true, true);
    EXPECT_TRUE(item.initiallyHidden());
    item.initCarried(true);
    EXPECT_FALSE(item.initiallyHidden());
    item.initLocation("SALA");
    EXPECT_FALSE(item.initiallyCarried());
    item.initCarried(true);
    EXPECT_EQ(item.initialLocation(), "");
    item.initHidden(true);
    EXPECT_FALSE(item.initiallyCarried());
    Context global, own;
    item.init(&global, &own);
    EXPECT_EQ(global.getString("ITEMS.X.LOCATION"), "");
    EXPECT_TRUE(global.getBoolean("ITEMS.X.HIDDEN"));
    EXPECT_TRUE(own.exist("INVENTORY.X") && !own.getBoolean("INVENTORY.X"));
    EXPECT_TRUE(own.exist("SEEN.ITEMS.X") && !own.getBoolean("SEEN.ITEMS.X"));
}

} // namespace
