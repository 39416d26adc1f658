#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "runtime/Errors.h"
#include "runtime/Fibers.h"
#include "state/Context.h"
#include "state/ContextFile.h"
#include "state/ContextJournal.h"
#include "state/JournalFile.h"
#include "state/JsonFileStore.h"
#include "state/Saver.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

std::shared_ptr<Context> world() {
    auto state = std::make_shared<Context>();
    state->set("USER", std::make_shared<Context>());
    state->setString("GLOBAL.ITEMS.LANTERNA.LOCATION", "SALA");
    return state;
}

void checkpoint(JsonFileStore& store, const std::shared_ptr<Context>& state) {
    store.checkpoint([&] { return state->clone(); });
}

TEST(StateStoreTest, FilesBesideTheAdventure) {
    TempDir dir;
    JsonFileStore store(dir.path() + "/", "castello");
    EXPECT_EQ(store.sharedFile(), dir.file("castello.gcontext"));
    EXPECT_EQ(store.journalFile(), dir.file("castello.gcontext.journal"));
    EXPECT_EQ(store.gameFile("Niccolò"), dir.file("niccolò.context"));

    // The shared world: none at first; what an interrupted write left is
    // cleared; a state without its players is refused.
    EXPECT_EQ(store.loadShared(), nullptr);
    writeFile(dir.file("castello.gcontext.tmp.AbC123"), "{half");
    auto state = world();
    checkpoint(store, state);
    EXPECT_EQ(store.loadShared()->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "SALA");
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"castello.gcontext"});
    state->remove("USER");
    checkpoint(store, state);
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
    {
        JsonFileStore followed(dir.path() + "/", "torre");
        auto torre = world();
        followed.follow(*torre);
        ASSERT_EQ(::stat(followed.journalFile().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_FALSE(fileExists(dir.file("anna.context.tmp.Xy12Zw")));
    EXPECT_EQ(store.loadGame("Anna")->getString("USER.4.NAME"), "Anna");
    if (setReadOnly(dir.path(), true)) {
        EXPECT_THROW(checkpoint(store, state), SerializationException);
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

// One process at a time keeps a shared world; the lock goes with its store.
TEST(StateStoreTest, TheSharedStateIsLockedForOne) {
    TempDir dir;
    auto first = std::make_unique<JsonFileStore>(dir.path() + "/", "castello");
    first->lockShared();
    first->lockShared(); // taken already
    JsonFileStore second(dir.path() + "/", "castello");
    try {
        second.lockShared();
        ADD_FAILURE() << "locked twice";
    } catch (const SerializationException& e) {
        EXPECT_EQ(std::string(e.what()), "Lo stato '" + dir.file("castello.gcontext") +
                                             "' e' in uso: un server di questa avventura e' in "
                                             "funzione.");
    }
    JsonFileStore other(dir.path() + "/", "torre");
    other.lockShared();
    first.reset();
    second.lockShared();
}

// Changes made after the last checkpoint are in the journal: a store made
// anew (a restart after a crash) makes them again over the checkpoint, up
// to a line a crash cut short or damaged.
TEST(StateStoreTest, TheJournalIsMadeAgainAtTheStart) {
    TempDir dir;
    auto state = world();
    {
        JsonFileStore store(dir.path() + "/", "castello");
        checkpoint(store, state);
        store.follow(*state);
        state->setString("GLOBAL.ITEMS.LANTERNA.LOCATION", "TORRE");
        auto anna = std::make_shared<Context>();
        anna->setString("NAME", "Anna");
        state->set("USER.1", anna);
        anna->setInt("VARIABLES.PUNTI", 3); // through a reference of its own
        state->remove("GLOBAL.ITEMS.LANTERNA");
        state->setString(std::string("GLOBAL.N\xe8ME"), std::string("caf\xe9"));
        store.awaitDurable();
        EXPECT_GT(store.journalBytes(), 0u);
    } // killed: no checkpoint since
    auto check = [&](const std::shared_ptr<Context>& back) {
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->getString("USER.1.NAME"), "Anna");
        EXPECT_EQ(back->getInt("USER.1.VARIABLES.PUNTI"), 3);
        EXPECT_FALSE(back->exist("GLOBAL.ITEMS.LANTERNA"));
        EXPECT_EQ(back->getString(std::string("GLOBAL.N\xe8ME")), std::string("caf\xe9"));
    };
    JsonFileStore again(dir.path() + "/", "castello");
    check(again.loadShared());

    // A last line cut short is dropped; a damaged line ends what is made.
    std::string journal = readFile(again.journalFile());
    writeFile(again.journalFile(), journal + "0badf00d {\"s\":\"GLOBAL.X\",\"v\":");
    check(again.loadShared());
    std::string damaged = journal;
    damaged[damaged.find("PUNTI") + 1] = 'O';
    writeFile(again.journalFile(), damaged);
    auto cut = again.loadShared();
    EXPECT_EQ(cut->getString("USER.1.NAME"), "Anna");
    EXPECT_FALSE(cut->exist("USER.1.VARIABLES.PUNTI"));
    EXPECT_TRUE(cut->exist("GLOBAL.ITEMS.LANTERNA")); // after the damage: not made

    // A checkpoint folds the journal in; a journal without its checkpoint
    // is refused rather than lost.
    writeFile(again.journalFile(), journal);
    auto whole = again.loadShared();
    checkpoint(again, whole);
    EXPECT_FALSE(fileExists(again.journalFile()));
    check(JsonFileStore(dir.path() + "/", "castello").loadShared());
    std::remove(again.sharedFile().c_str());
    writeFile(again.journalFile(), journal);
    EXPECT_THROW(again.loadShared(), SerializationException);
}

// A checkpoint moves the journal aside, takes the copy, writes it and drops
// the journal moved aside. A crash at any of these steps, or a checkpoint
// that fails, loses no change: a restart on the files as they are then
// finds every change made, the newest last.
TEST(StateStoreTest, ACheckpointStoppedAtAnyStepLosesNothing) {
    TempDir dir;
    auto state = world();
    JsonFileStore store(dir.path() + "/", "castello");
    checkpoint(store, state);
    store.follow(*state);
    // What a server started on a copy of the files as they are now loads.
    auto restart = [&] {
        TempDir crashed;
        for (const auto& name : listDir(dir.path()))
            writeFile(crashed.file(name), readFile(dir.file(name)));
        return JsonFileStore(crashed.path() + "/", "castello").loadShared();
    };
    auto expectAll = [&](const std::shared_ptr<Context>& back, int made, const char* when) {
        ASSERT_NE(back, nullptr) << when;
        for (int n = 1; n <= made; ++n)
            EXPECT_TRUE(back->exist("GLOBAL.N" + std::to_string(n))) << when << ": change " << n;
        EXPECT_EQ(back->getInt("GLOBAL.LAST"), made) << when;
    };
    int made = 0;
    auto change = [&] {
        ++made;
        state->setInt("GLOBAL.N" + std::to_string(made), made);
        state->setInt("GLOBAL.LAST", made);
        store.awaitDurable();
    };

    // Two checkpoints fail after the journal was moved aside, with changes
    // before, between and after them.
    change();
    for (int failed = 0; failed < 2; ++failed) {
        EXPECT_THROW(store.checkpoint([&]() -> std::shared_ptr<Context> {
            expectAll(restart(), made, "journal moved aside");
            throw SerializationException("disco pieno");
        }),
                     SerializationException);
        expectAll(restart(), made, "checkpoint failed");
        change();
        expectAll(restart(), made, "changed after a failed checkpoint");
    }

    // One that succeeds; a crash after its write leaves the old journal
    // too, made again over a checkpoint that has its changes already.
    std::string old = store.journalFile() + ".old", moved;
    store.checkpoint([&] {
        expectAll(restart(), made, "journal moved aside");
        moved = readFile(old);
        return state->clone();
    });
    EXPECT_FALSE(fileExists(old));
    expectAll(restart(), made, "checkpoint written");
    change();
    writeFile(old, moved);
    expectAll(restart(), made, "old journal left beside the checkpoint");
}

// Many writers, each waiting for its changes to be durable: one sync serves
// all the changes made while the one before was running.
TEST(JournalFileTest, ChangesOfManyWritersShareTheSyncs) {
    TempDir dir;
    Context state;
    {
        JournalFile journal(dir.file("j"));
        state.attach(&journal);
        std::vector<std::thread> writers;
        for (int t = 0; t < 8; ++t) {
            writers.emplace_back([&, t] {
                for (int i = 0; i < 100; ++i) {
                    state.setInt("USER." + std::to_string(t) + ".MOSSE", i);
                    journal.awaitDurable();
                }
            });
        }
        for (auto& writer : writers)
            writer.join();
        EXPECT_LT(journal.syncs(), 800u);
        EXPECT_TRUE(journal.error().empty());
    }
    Context back;
    EXPECT_EQ(JournalFile::replay(dir.file("j"), back), 8u * 100 + 8 + 1); // and the contexts made
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(back.getInt("USER." + std::to_string(t) + ".MOSSE"), 99);
}

// Writers in fibers and in threads at once: a fiber waits for the sync
// under way without its thread, and every change gets to the file.
TEST(JournalFileTest, FibersWaitForTheSyncsToo) {
    constexpr int FIBERS = 16, THREADS = 2, CHANGES = 50;
    TempDir dir;
    Context state;
    {
        JournalFile journal(dir.file("j"));
        state.attach(&journal);
        std::atomic<int> done = 0;
        auto write = [&](int writer) {
            for (int i = 0; i < CHANGES; ++i) {
                state.setInt("USER." + std::to_string(writer) + ".MOSSE", i);
                journal.awaitDurable();
            }
            ++done;
        };
        {
            Fibers fibers(2);
            for (int writer = 0; writer < FIBERS; ++writer)
                fibers.spawn([&, writer] { write(writer); });
            std::vector<std::thread> threads;
            for (int writer = FIBERS; writer < FIBERS + THREADS; ++writer)
                threads.emplace_back(write, writer);
            for (auto& thread : threads)
                thread.join();
            EXPECT_TRUE(
                waitUntil([&] { return done == FIBERS + THREADS; }, std::chrono::seconds(60)));
        }
        EXPECT_LT(journal.syncs(), static_cast<std::uint64_t>((FIBERS + THREADS) * CHANGES));
        EXPECT_TRUE(journal.error().empty());
    }
    Context back;
    JournalFile::replay(dir.file("j"), back);
    for (int writer = 0; writer < FIBERS + THREADS; ++writer)
        EXPECT_EQ(back.getInt("USER." + std::to_string(writer) + ".MOSSE"), CHANGES - 1);
}

// Waiting covers the changes of others too: whatever a player was told may
// come from them. What nobody waits for is written all the same.
TEST(JournalFileTest, EveryChangeReachesTheFile) {
    TempDir dir;
    Context state;
    JournalFile journal(dir.file("j"));
    state.attach(&journal);
    state.setInt("A", 1);
    std::thread([&] { journal.awaitDurable(); }).join();
    Context back;
    EXPECT_EQ(JournalFile::replay(dir.file("j"), back), 1u);

    state.setInt("B", 2);
    for (int i = 0; i < 100 && journal.syncs() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(JournalFile::replay(dir.file("j"), back), 2u);
    EXPECT_EQ(back.getInt("B"), 2);
}

// Writes as a journal does, but a write waits while `held`, and fails (as
// a full disk does) while `failing`.
class Disk {
public:
    JournalFile::Write write() {
        return [this](int fd, const std::string& batch) {
            std::unique_lock guard(_lock);
            ++_started;
            _changed.notify_all();
            _changed.wait(guard, [&] { return !_held; });
            if (_failing) {
                errno = ENOSPC;
                return false;
            }
            guard.unlock();
            return JournalFile::writeAndSync(fd, batch);
        };
    }
    void hold(bool held) { set(_held, held); }
    void fail(bool failing) { set(_failing, failing); }
    // Waits until so many writes have started.
    bool started(int writes) {
        std::unique_lock guard(_lock);
        return _changed.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return _started >= writes; });
    }

private:
    void set(bool& flag, bool value) {
        std::lock_guard guard(_lock);
        flag = value;
        _changed.notify_all();
    }
    std::mutex _lock;
    std::condition_variable _changed;
    bool _held = false, _failing = false;
    int _started = 0;
};

std::size_t changesIn(const std::string& file) {
    Context back;
    return fileExists(file) ? JournalFile::replay(file, back) : 0;
}

// A change made while a write is on its way to the disk is not in it: who
// waits for that change is answered once a later write has it in the file,
// whether he came during the write or after it.
TEST(JournalFileTest, AChangeIsDurableOnlyOnceItsOwnWriteIsDone) {
    TempDir dir;
    Disk disk;
    Context state;
    JournalFile journal(dir.file("j"), disk.write());
    state.attach(&journal);

    disk.hold(true);
    state.setInt("A", 1);
    std::thread first([&] { journal.awaitDurable(); });
    ASSERT_TRUE(disk.started(1)); // A is on its way
    state.setInt("B", 2);
    disk.hold(false);
    first.join();
    journal.awaitDurable();
    EXPECT_EQ(changesIn(dir.file("j")), 2u) << "B taken for durable with A's write";

    disk.hold(true);
    state.setInt("C", 3);
    std::thread third([&] { journal.awaitDurable(); });
    ASSERT_TRUE(disk.started(3)); // C is on its way
    state.setInt("D", 4);
    std::atomic<std::size_t> found{99}; // what the file held when D's waiter was answered
    std::thread fourth([&] {
        journal.awaitDurable();
        found = changesIn(dir.file("j"));
    });
    // Nothing can be seen of a waiter that waits: a moment is left for one
    // that would not.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(found, 99u) << "answered while C's write was on its way";
    disk.hold(false);
    third.join();
    fourth.join();
    EXPECT_EQ(found, 4u);
}

// A write that fails is told, and durability is not waited for meanwhile;
// the changes that follow are dropped (a checkpoint will hold them) until
// the journal is rotated, and then written again.
TEST(JournalFileTest, AfterAFailedWriteARotationWritesAgain) {
    TempDir dir;
    Disk disk;
    Context state;
    JournalFile journal(dir.file("j"), disk.write());
    state.attach(&journal);
    state.setInt("A", 1);
    journal.awaitDurable();
    disk.fail(true);
    state.setInt("B", 2);
    journal.awaitDurable();
    EXPECT_EQ(journal.error(), dir.file("j") + ": " + std::strerror(ENOSPC));
    disk.fail(false);
    state.setInt("C", 3); // dropped
    journal.awaitDurable();
    EXPECT_EQ(changesIn(dir.file("j")), 1u);

    journal.rotate();
    EXPECT_EQ(journal.error(), "");
    state.setInt("D", 4);
    journal.awaitDurable();
    EXPECT_EQ(changesIn(dir.file("j.old")), 1u);
    Context back;
    EXPECT_EQ(JournalFile::replay(dir.file("j"), back), 1u);
    EXPECT_EQ(back.getInt("D"), 4);
}

// Remembers the paths of the changes it hears.
class Paths : public ContextJournal {
public:
    void changed(const std::string& path, const Context::Value* value) override {
        heard.push_back((value ? "set " : "remove ") + path);
    }
    std::vector<std::string> heard;
};

TEST(JournalFileTest, ChangesAreHeardWhateverWayTheyAreMade) {
    Paths journal;
    Context root;
    root.setString("GLOBAL.X", "1"); // before: not heard
    root.attach(&journal);
    auto player = std::make_shared<Context>();
    player->setInt("MOSSE", 1);
    root.set("USER.7", player);
    Context view; // as an action sees the state: the player's own context as USER
    view.set("USER", player);
    view.setInt("USER.VARIABLES.PUNTI", 5);
    view.setInt("USER.VARIABLES.PUNTI", 5); // the same again: no change
    view.setInt("PUNTI", 5);                // a copy in the view only
    root.remove("USER.7");
    player->setInt("MOSSE", 2); // out of the tree: no more heard
    EXPECT_EQ(journal.heard,
              (std::vector<std::string>{"set USER", "set USER.7", "set USER.7.VARIABLES",
                                        "set USER.7.VARIABLES.PUNTI", "remove USER.7"}));
}

// Answers as a store would; fails when told to.
class Recorder : public StateStore {
public:
    void lockShared() override {}
    std::shared_ptr<Context> loadShared() override { return nullptr; }
    void checkpoint(const std::function<std::shared_ptr<Context>()>& copy) override {
        ++attempts;
        if (failing)
            throw SerializationException("disco pieno");
        saved.push_back(copy()->getInt("N"));
        bytes = 0;
    }
    void follow(Context&) override {}
    void awaitDurable() override {}
    std::uint64_t journalBytes() override { return bytes; }
    std::string journalError() override { return journal_error; }
    std::uint64_t journalSyncs() override { return 0; }
    std::shared_ptr<Context> loadGame(const std::string&) override { return nullptr; }
    void saveGame(const std::string&, const Context&) override {}

    std::atomic<bool> failing{false};
    std::atomic<int> attempts{0};
    std::atomic<std::uint64_t> bytes{0};
    std::string journal_error;
    std::vector<int> saved;
};

TEST(SaverTest, CheckpointsWhenTheJournalGrowsAndAtTheEnd) {
    Recorder store;
    Context state;
    state.setInt("N", 1);
    testing::internal::CaptureStderr();
    {
        Saver saver(
            store, [&] { return state.clone(); }, std::chrono::seconds(3600), 100);
        saver.start();
        store.bytes = 100; // the journal grew past its limit
        ASSERT_TRUE(waitUntil([&] { return saver.checkpoints() == 1; }));
        store.failing = true;
        store.bytes = 200;
        ASSERT_TRUE(waitUntil([&] { return store.attempts == 3; })); // two tries, both fail
        store.failing = false;
        state.setInt("N", 2);
        ASSERT_TRUE(waitUntil([&] { return saver.checkpoints() == 2; }));
        state.setInt("N", 3);
    }
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(store.saved, (std::vector<int>{1, 2, 3})); // and a last one at the end
    EXPECT_EQ(told, "Eccezione SerializationException: disco pieno\n"
                    "Lo stato del mondo condiviso si salva di nuovo\n");
}

} // namespace
