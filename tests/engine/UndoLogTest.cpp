#include <gtest/gtest.h>

#include <random>

#include "engine/UndoLog.h"
#include "state/Context.h"

using namespace zanfir;

namespace {

// A tree as text, names sorted, to compare two trees whole.
std::string dump(const Context& context) {
    auto entries = context.entries();
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = "{";
    for (const auto& [name, value] : entries) {
        text += name + ":";
        if (auto nested = std::get_if<std::shared_ptr<Context>>(&value))
            text += dump(**nested);
        else if (auto word = std::get_if<std::string>(&value))
            text += "'" + *word + "'";
        else if (auto number = std::get_if<std::int32_t>(&value))
            text += std::to_string(*number);
        else
            text += std::get<bool>(value) ? "true" : "false";
        text += ",";
    }
    return text + "}";
}

// Random commands of every kind of change, each command taken back in turn
// must give the tree of before it: values and nested contexts put in, taken
// out, replaced, renamed, and changed through a reference.
TEST(UndoLogTest, EveryCommandIsTakenBackWhole) {
    auto root = std::make_shared<Context>();
    root->setString("GLOBAL.ITEMS.A.LOCATION", "SALA");
    root->setInt("USER.1.VARIABLES.PUNTI", 0);
    UndoLog log(1000);
    log.follow(root);
    std::mt19937 random(11);
    std::vector<std::string> before; // the tree as each command found it
    const std::vector<std::string> paths = {"GLOBAL.ITEMS.A.LOCATION", "GLOBAL.ITEMS.B.HIDDEN",
                                            "USER.1.VARIABLES.PUNTI", "USER.1.PHRASE.VERB",
                                            "USER.1.PHRASE.ITEMS.1"};
    const std::vector<std::string> nests = {"GLOBAL.ITEMS.A", "GLOBAL.ITEMS.B", "USER.1.PHRASE",
                                            "USER.1.VARIABLES"};
    for (int command = 0; command < 300; ++command) {
        before.push_back(dump(*root));
        log.mark();
        for (int step = random() % 6; step >= 0; --step) {
            const auto& path = paths[random() % paths.size()];
            const auto& nest = nests[random() % nests.size()];
            switch (random() % 7) {
            case 0:
                root->setString(path, "T" + std::to_string(random() % 3));
                break;
            case 1:
                root->setInt(path, static_cast<std::int32_t>(random() % 3));
                break;
            case 2:
                root->remove(path);
                break;
            case 3:
                root->remove(nest);
                break;
            case 4: {
                auto fresh = std::make_shared<Context>();
                fresh->setBoolean("X", true);
                root->set(nest, fresh);
                break;
            }
            case 5:
                if (root->exist(nest))
                    root->rename(nest, "GLOBAL.ITEMS.R");
                break;
            default: // as an action changes its player through its view
                if (auto value = root->get(nest))
                    if (auto nested = std::get_if<std::shared_ptr<Context>>(&*value))
                        (*nested)->setInt("K", command);
            }
        }
    }
    // The last command's own changes go first, then each earlier command.
    before.push_back(dump(*root));
    log.mark();
    root->setString("USER.1.PHRASE.VERB", "ANNULLA");
    while (before.size() > 1) {
        ASSERT_TRUE(log.undo());
        before.pop_back();
        ASSERT_EQ(dump(*root), before.back()) << before.size();
        log.mark();
    }
    EXPECT_FALSE(log.undo());
}

TEST(UndoLogTest, OnlyTheLevelsAskedForAreKept) {
    auto root = std::make_shared<Context>();
    UndoLog log(2);
    log.follow(root);
    for (int n = 1; n <= 4; ++n) {
        log.mark();
        root->setInt("N", n);
    }
    log.mark(); // the command that asks
    EXPECT_TRUE(log.undo());
    EXPECT_EQ(root->getInt("N"), 3);
    log.mark();
    EXPECT_TRUE(log.undo());
    EXPECT_EQ(root->getInt("N"), 2);
    log.mark();
    EXPECT_FALSE(log.undo());
    EXPECT_EQ(root->getInt("N"), 2);

    // A command past the bound of changes cannot be taken back, nor any
    // before it; the next ones can.
    log.mark();
    for (std::size_t n = 0; n <= UndoLog::MAX_CHANGES; ++n)
        root->setInt("N", static_cast<std::int32_t>(n));
    log.mark();
    EXPECT_FALSE(log.undo());
    root->setInt("M", 1);
    log.mark();
    root->setInt("M", 2);
    log.mark();
    EXPECT_TRUE(log.undo());
    EXPECT_EQ(root->getInt("M"), 1);

    // A tree followed anew (a game loaded) starts with nothing to take back,
    // and the old tree is no longer heard.
    auto loaded = std::make_shared<Context>();
    log.follow(loaded);
    root->setInt("M", 9);
    log.mark();
    loaded->setInt("M", 3);
    log.mark();
    EXPECT_TRUE(log.undo());
    EXPECT_FALSE(loaded->exist("M"));
    EXPECT_EQ(root->getInt("M"), 9);
}

} // namespace
