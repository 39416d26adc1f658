#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "WorldSupport.h"
#include "adventure/Phrase.h"
#include "adventure/Word.h"
#include "exception/Exception.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

std::shared_ptr<const Phrase> phraseOf(Main& main, const std::string& verb,
                                       std::vector<std::string> items = {}) {
    std::vector<std::shared_ptr<Word>> words{main.getVerb(verb)};
    for (const auto& item : items)
        words.push_back(main.getWord(item));
    return std::make_shared<Phrase>(words);
}

TEST_F(WorldTest, ThreadsRunOneActionWithTheirOwnState) {
    TestMain main("castello");
    main.load();
    std::barrier both(2);
    ProbeAction shared([&](ProbeAction&) {
        both.arrive_and_wait(); // both threads are inside run() now
        return true;
    });
    struct Seen {
        Adventure* adventure;
        std::shared_ptr<Context> context;
        std::shared_ptr<const Phrase> phrase;
    };
    auto play = [&](Adventure* session, std::shared_ptr<Context> ctx,
                    std::shared_ptr<const Phrase> phrase, Seen& seen) {
        shared.start(session, ctx, phrase);
        shared.start(session, ctx, nullptr); // keeps the phrase of this thread
        seen = {shared.adventure(), shared.context(), shared.phrase()};
    };
    Session one(main, "Uno"), two(main, "Due");
    auto ctxOne = std::make_shared<Context>(), ctxTwo = std::make_shared<Context>();
    auto take = phraseOf(main, "PRENDI", {"LANTERNA"});
    auto look = phraseOf(main, "GUARDA");
    Seen seenOne{}, seenTwo{};
    std::thread first(play, one.adventure.get(), ctxOne, take, std::ref(seenOne));
    std::thread second(play, two.adventure.get(), ctxTwo, look, std::ref(seenTwo));
    first.join();
    second.join();
    EXPECT_EQ(seenOne.adventure, one.adventure.get());
    EXPECT_EQ(seenOne.context, ctxOne);
    EXPECT_EQ(seenOne.phrase, take);
    EXPECT_EQ(seenTwo.adventure, two.adventure.get());
    EXPECT_EQ(seenTwo.context, ctxTwo);
    EXPECT_EQ(seenTwo.phrase, look);
    EXPECT_EQ(shared.adventure(), nullptr); // this thread never started it
    EXPECT_EQ(take->toString(), "PRENDI LANTERNA");
    EXPECT_EQ(take->itemAt(0), "LANTERNA");
    EXPECT_EQ(take->itemAt(1), "");
}

TEST_F(WorldTest, RunawayNestingFailsCleanly) {
    TestMain main("castello");
    main.load();
    Session session(main, "Uno");
    int runs = 0;
    ProbeAction loop([&](ProbeAction& self) {
        ++runs;
        return self.start(self.adventure(), self.context(), nullptr);
    });
    try {
        session.adventure->executeAction(loop);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("troppe azioni annidate"), std::string::npos);
    }
    EXPECT_EQ(runs, Action::MAX_DEPTH);
    // The depth is given back: the same thread can run actions again.
    ProbeAction once([](ProbeAction&) { return true; });
    EXPECT_TRUE(session.adventure->executeAction(once));
}

TEST_F(WorldTest, ParentsSilenceAndItemChecks) {
    TestMain main("castello");
    main.load();
    ProbeAction root([](ProbeAction&) { return true; }), child([](ProbeAction&) { return true; }),
        grandchild([](ProbeAction&) { return true; }), other([](ProbeAction&) { return true; });
    child.setParent(&root);
    grandchild.setParent(&child);
    EXPECT_TRUE(root.isParentOf(&root));
    EXPECT_TRUE(root.isParentOf(&grandchild));
    EXPECT_FALSE(child.isParentOf(&root));
    EXPECT_FALSE(root.isParentOf(nullptr));
    EXPECT_FALSE(root.isParentOf(&other));

    Session session(main, "Uno"); // in INGRESSO, where the lantern lies
    bool result = true;
    int mask = 0;
    ProbeAction checker([&](ProbeAction& self) {
        result = self.checkItems(mask);
        return true;
    });
    auto run = [&](int m, const std::vector<std::string>& items) {
        mask = m;
        auto phrase = phraseOf(main, "PRENDI", items);
        checker.start(session.adventure.get(), nullptr, phrase);
        return result;
    };
    EXPECT_FALSE(run(3, {"CHIAVE", "LANTERNA"})); // the key lies hidden in the hall
    EXPECT_EQ(session.output(), "- Qui non ne vedo.\n");
    EXPECT_TRUE(run(2, {"CHIAVE", "LANTERNA"}));
    EXPECT_TRUE(run(0, {"CHIAVE"}));
    EXPECT_TRUE(run(1, {"SPADA"}));            // carried
    EXPECT_TRUE(run(1, {"QUADRO", "CHIAVE"})); // present, though not visible
    EXPECT_EQ(session.output(), "");
    checker.setSilent(true);
    EXPECT_FALSE(run(1, {"CHIAVE"}));
    EXPECT_TRUE(checker.isSilent());
    EXPECT_EQ(session.output(), "");

    // A silent action prints no text, but prints descriptions and prompts.
    Description word(main, "lanterna");
    ProbeAction talker([&](ProbeAction& self) {
        self.print("a");
        self.println("b");
        self.println("<", word, ">");
        self.readln("? ");
        return true;
    });
    talker.setSilent(true);
    session.type("si\n");
    session.adventure->executeAction(talker);
    EXPECT_EQ(session.output(), "<lanterna>\n? ");
}

} // namespace
