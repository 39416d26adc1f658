#include <gtest/gtest.h>

#include "WorldSupport.h"
#include "runtime/Errors.h"
#include "world/Phrase.h"
#include "world/Word.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

std::shared_ptr<const Phrase> phraseOf(Main& main, const std::string& verb,
                                       std::vector<std::string> items = {}) {
    std::vector<std::shared_ptr<Word>> words{main.world().getVerb(verb)};
    for (const auto& item : items)
        words.push_back(main.world().getWord(item));
    return std::make_shared<Phrase>(words);
}

TEST_F(WorldTest, RunawayNestingFailsCleanly) {
    TestMain main("castello");
    main.load();
    Session session(main, "Uno");
    int runs = 0;
    ProbeAction loop([&](ProbeAction& self) {
        ++runs;
        return self.start(self.now().next());
    });
    try {
        session.adventure->executeAction(loop);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("troppe azioni annidate"), std::string::npos);
    }
    EXPECT_EQ(runs, Action::MAX_DEPTH);
    // The depth is given back: the session can run actions again.
    ProbeAction once([](ProbeAction&) { return true; });
    EXPECT_TRUE(session.adventure->executeAction(once));
}

TEST_F(WorldTest, ParentsSilenceAndItemChecks) {
    TestMain main("castello");
    main.load();
    // A parent lent to one run is that run's only.
    ProbeAction root([](ProbeAction&) { return true; });
    Action* parent = &root;
    ProbeAction child([&](ProbeAction& self) {
        parent = self.getParent(self.now());
        return true;
    });
    Session lender(main, "Tre");
    child.start({*lender.adventure, nullptr, nullptr, &root});
    EXPECT_EQ(parent, &root);
    child.start({*lender.adventure, nullptr, nullptr});
    EXPECT_EQ(parent, nullptr);

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
        checker.start({*session.adventure, nullptr, phrase});
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
