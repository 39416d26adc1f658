#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

#include "TestSupport.h"
#include "adventure/JsonFileStore.h"
#include "adventure/Saver.h"
#include "common/Context.h"
#include "common/ContextFile.h"
#include "exception/SerializationException.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

TEST(StateStoreTest, FilesBesideTheAdventure) {
    TempDir dir;
    JsonFileStore store(dir.path() + "/", "castello");
    EXPECT_EQ(store.sharedFile(), dir.file("castello.gcontext"));
    EXPECT_EQ(store.gameFile("Niccolò"), dir.file("niccolò.context"));

    // The shared world: none at first; what an interrupted write left is
    // cleared; a state without its players is refused.
    EXPECT_EQ(store.loadShared(), nullptr);
    writeFile(dir.file("castello.gcontext.tmp.AbC123"), "{half");
    Context world;
    world.set("USER", std::make_shared<Context>());
    world.setString("GLOBAL.ITEMS.LANTERNA.LOCATION", "SALA");
    store.saveShared(world);
    EXPECT_EQ(store.loadShared()->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "SALA");
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"castello.gcontext"});
    world.remove("USER");
    store.saveShared(world);
    EXPECT_THROW(store.loadShared(), SerializationException);

    // A game is found by its player's name, under whatever number.
    EXPECT_EQ(store.loadGame("Anna"), nullptr);
    Context game;
    game.setString("USER.4.NAME", "Anna");
    writeFile(dir.file("anna.context.tmp.Xy12Zw"), "{half"); // an interrupted save
    store.saveGame("Anna", game);
    // Only their owner may read the state: it holds the players' passwords.
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("anna.context").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(store.sharedFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(fileExists(dir.file("anna.context.tmp.Xy12Zw")));
    EXPECT_EQ(store.loadGame("Anna")->getString("USER.4.NAME"), "Anna");
    store.checkWritable();
    if (setReadOnly(dir.path(), true)) {
        EXPECT_THROW(store.checkWritable(), SerializationException);
        EXPECT_THROW(store.saveShared(world), SerializationException);
        setReadOnly(dir.path(), false);
    }
    std::rename(dir.file("anna.context").c_str(), dir.file("bruno.context").c_str());
    try {
        store.loadGame("Bruno");
        ADD_FAILURE() << "someone else's game taken";
    } catch (const SerializationException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "File di stato non valido: '" + dir.file("bruno.context") + "'");
    }
}

// Keeps the values of N it was asked to save; fails when told to.
class Recorder : public StateStore {
public:
    std::shared_ptr<Context> loadShared() override { return nullptr; }
    void saveShared(const Context& state) override {
        ++attempts;
        if (failing)
            throw SerializationException("full disk");
        std::lock_guard guard(lock);
        saved.push_back(const_cast<Context&>(state).getInt("N"));
    }
    void checkWritable() override {}
    std::shared_ptr<Context> loadGame(const std::string&) override { return nullptr; }
    void saveGame(const std::string&, const Context&) override {}
    std::vector<int> values() {
        std::lock_guard guard(lock);
        return saved;
    }

    std::atomic<bool> failing{false};
    std::atomic<int> attempts{0};
    std::mutex lock;
    std::vector<int> saved;
};

TEST(SaverTest, TheLatestStateAlwaysReachesTheStore) {
    Recorder store;
    Context state;
    auto saver = std::make_unique<Saver>(store, [&](Saver& self) { self.offer(state); });
    state.setInt("N", 1);
    saver->offer(state);
    ASSERT_TRUE(waitUntil([&] { return store.values() == std::vector<int>{1}; }));

    // Too soon after the last: put off, and the state of later is written.
    state.setInt("N", 2);
    saver->offer(state);
    state.setInt("N", 3);
    ASSERT_TRUE(waitUntil([&] { return store.values() == std::vector<int>{1, 3}; }));

    // A failed write is logged; the next moment writes again.
    store.failing = true;
    int tried = store.attempts;
    state.setInt("N", 4);
    saver->offer(state);
    ASSERT_TRUE(waitUntil([&] { return store.attempts > tried; }));
    store.failing = false;
    state.setInt("N", 5);
    saver->offer(state);
    saver.reset(); // what is pending is written before it stops
    EXPECT_EQ(store.values(), (std::vector<int>{1, 3, 5}));
}

} // namespace
