#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "state/ContextFile.h"
#include "util/Util.h"
#include "world/Config.h"

using namespace zanfir;
using zanfir::test::TempDir;

namespace {

std::vector<std::string> sortedNames(const Context& c) {
    auto names = c.names();
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<Context> nested(Context& c, const std::string& path) {
    auto value = c.get(path);
    return value ? std::get<std::shared_ptr<Context>>(*value) : nullptr;
}

TEST(ContextTest, PathWalk) {
    Context c;
    c.setInt("a.b", 1);
    EXPECT_EQ(c.getInt("A.B"), 1);
    EXPECT_EQ(c.names(), std::vector<std::string>{"A"});

    // Reading creates the contexts on the way.
    Context r;
    EXPECT_FALSE(r.exist("X.Y"));
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(nested(r, "X")->count(), 0);
    EXPECT_EQ(r.getString("P.Q.R"), "");
    EXPECT_EQ(nested(r, "P")->names(), std::vector<std::string>{"Q"});

    // Defaults, and delete of an absent name.
    EXPECT_EQ(c.getString("NONE"), "");
    EXPECT_EQ(c.getInt("NONE"), 0);
    EXPECT_FALSE(c.getBoolean("NONE"));
    c.remove("NONE");
    c.remove("A.NONE");
    EXPECT_EQ(c.count(), 1);

    // Empty segments are names like any other.
    c.setString("E..F", "x");
    EXPECT_EQ(nested(*nested(c, "E"), "")->getString("F"), "x");
    c.setString("G.", "y");
    EXPECT_EQ(nested(c, "G")->names(), std::vector<std::string>{""});
    EXPECT_EQ(c.getString("g."), "y");

    // Accented letters are one name in either case.
    c.setString("città.piazza", "ok");
    EXPECT_EQ(c.getString("CITTÀ.PIAZZA"), "ok");

    // A name in any letter case is the one name, whether it is there or not.
    c.setInt("Mixed.Case", 1);
    c.setInt("MIXED.case", 2);
    EXPECT_EQ(nested(c, "MIXED")->names(), std::vector<std::string>{"CASE"});
    EXPECT_EQ(c.getInt("mixed.CaSe"), 2);
    EXPECT_EQ(c.nested("mIxEd"), nested(c, "MIXED"));
    c.remove("mixed.case");
    EXPECT_FALSE(c.exist("MIXED.CASE"));
    std::string asked;
    c.answerAbsent([&](std::string_view name) {
        asked = name;
        return std::nullopt;
    });
    EXPECT_FALSE(c.exist("absent"));
    EXPECT_EQ(asked, "ABSENT");
}

TEST(ContextTest, TypeErrors) {
    Context c;
    c.setString("A", "x");
    EXPECT_THROW(c.setInt("A.B", 1), TypeMismatchException);
    EXPECT_EQ(c.getString("A"), "x");
    EXPECT_THROW(c.get("A.B"), TypeMismatchException);
    try {
        c.nested("a.b.c");
        ADD_FAILURE() << "no type error";
    } catch (const TypeMismatchException& error) {
        EXPECT_EQ(error.getName(), "A.B.C");
    }
    EXPECT_THROW(c.getInt("A"), TypeMismatchException);
    EXPECT_THROW(c.getBoolean("A"), TypeMismatchException);
    c.setInt("N", 3);
    EXPECT_THROW(c.getString("N"), TypeMismatchException);
    EXPECT_THROW(c.rename("ABSENT", "B"), Exception);
    c.rename("n", "M.N");
    EXPECT_FALSE(c.exist("N"));
    EXPECT_EQ(c.getInt("M.N"), 3);
}

TEST(ContextTest, CopyAndAppendShareNestedContexts) {
    Context source;
    source.setInt("N.P", 1);
    source.setString("S", "s");
    Context target;
    target.setInt("N.Q", 2);
    target.setString("T", "t");
    target.appendFrom(source);
    EXPECT_EQ(sortedNames(target), (std::vector<std::string>{"N", "S", "T"}));
    EXPECT_EQ(nested(target, "N")->names(), std::vector<std::string>{"P"});

    Context copy;
    copy.setString("OLD", "gone");
    copy.copyFrom(source);
    EXPECT_EQ(sortedNames(copy), (std::vector<std::string>{"N", "S"}));
    source.setInt("N.P", 7);
    EXPECT_EQ(copy.getInt("N.P"), 7);
    source.setString("S", "changed");
    EXPECT_EQ(copy.getString("S"), "s");
    copy.copyFrom(copy);
    EXPECT_EQ(copy.count(), 2);
    EXPECT_EQ(copy.count(), static_cast<std::int32_t>(copy.names().size()));
}

TEST(ContextTest, ACloneSharesNothing) {
    Context source;
    for (int i = 0; i < 50; ++i)
        source.setInt("USER." + std::to_string(i) + ".MOVES", i);
    source.setString("GLOBAL.ITEMS.LAMPADA.LOCATION", "SALA");
    auto clone = source.clone();
    // Written in the same order: a snapshot saves the same file as the tree.
    EXPECT_EQ(ContextFile::toText(*clone), ContextFile::toText(source));
    source.setString("GLOBAL.ITEMS.LAMPADA.LOCATION", "");
    source.remove("USER.7");
    EXPECT_EQ(clone->getString("GLOBAL.ITEMS.LAMPADA.LOCATION"), "SALA");
    EXPECT_EQ(clone->getInt("USER.7.MOVES"), 7);
    clone->setInt("USER.8.MOVES", 0);
    EXPECT_EQ(source.getInt("USER.8.MOVES"), 8);
}

// Whatever moves the nested contexts or their leaves, an indexed context
// answers as a scan of an unindexed twin does; and while the version of a
// text stays, so does everything in the contexts holding it.
TEST(ContextTest, AnIndexAnswersAsTheScan) {
    Context indexed, scanned;
    auto both = [&](auto&& change) {
        change(indexed);
        change(scanned);
    };
    both([](Context& c) { c.setString("ITEMS.A.LOCATION", "SALA"); });
    std::get<std::shared_ptr<Context>>(*indexed.get("ITEMS"))->indexBy("location", "hidden");
    auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    };
    // What the contexts holding the place hold, as the scan finds it.
    auto contents = [&](const std::string& place) {
        std::map<std::string, std::map<std::string, Context::Value>> all;
        for (auto& [name, item] : nested(scanned, "ITEMS")->nestedWhere("LOCATION", place))
            for (auto& [key, value] : item->entries())
                all[name][key] = value;
        return all;
    };
    std::map<std::string, std::pair<std::uint64_t, decltype(contents(""))>> versions;
    int kept = 0;
    auto agree = [&](const std::string& place) {
        auto where = [&](Context& c) {
            return sorted(nested(c, "ITEMS")->namesWhere("LOCATION", Context::Value(place)));
        };
        EXPECT_EQ(where(indexed), where(scanned)) << place;
        auto version = nested(indexed, "ITEMS")->versionWhere("location", place);
        ASSERT_TRUE(version);
        std::uint64_t answered = 0;
        auto shown = nested(indexed, "ITEMS")->unflaggedWhere("LOCATION", place, answered);
        ASSERT_TRUE(shown);
        EXPECT_EQ(answered, *version);
        auto now = contents(place);
        std::vector<std::string> unhidden;
        for (const auto& [name, entries] : now)
            if (!entries.count("HIDDEN") || entries.at("HIDDEN") != Context::Value(true))
                unhidden.push_back(name);
        EXPECT_EQ(*shown, unhidden) << place;
        if (auto last = versions.find(place);
            last != versions.end() && last->second.first == *version) {
            EXPECT_EQ(last->second.second, now) << place << " changed under version " << *version;
            ++kept;
        }
        versions[place] = {*version, now};
    };
    std::mt19937 random(7);
    const std::vector<std::string> places = {"SALA", "CANTINA", ""};
    for (int step = 0; step < 3000; ++step) {
        std::string item = "ITEMS.I" + std::to_string(random() % 12);
        std::string place = places[random() % places.size()];
        switch (random() % 9) {
        case 0: // an item made with its place at once
        case 1:
            both([&](Context& c) { c.setString(item + ".LOCATION", place); });
            break;
        case 2: {
            auto entry = random() % 2 ? ".LOCATION" : ".HIDDEN";
            both([&](Context& c) { c.remove(item + entry); });
            break;
        }
        case 3: // the leaf becomes no text
            both([&](Context& c) { c.setInt(item + ".LOCATION", 3); });
            break;
        case 4:
            both([&](Context& c) { c.remove(item); });
            break;
        case 5: { // a whole context put in place of another
            bool hidden = random() % 2;
            both([&](Context& c) {
                auto fresh = std::make_shared<Context>();
                fresh->setString("LOCATION", place);
                fresh->setBoolean("HIDDEN", hidden);
                c.set(item, fresh);
            });
            break;
        }
        case 6: // taken out under one name, kept under another
            both([&](Context& c) {
                if (c.exist(item))
                    c.rename(item, "ITEMS.R" + std::to_string(step % 3));
            });
            break;
        case 7: { // the flag, or another entry of the nested context
            bool hidden = random() % 2;
            auto entry = random() % 3 ? ".HIDDEN" : ".SEEN";
            both([&](Context& c) { c.setBoolean(item + entry, hidden); });
            break;
        }
        default: { // the nested context changed through a reference kept
            auto kept = nested(indexed, item), twin = nested(scanned, item);
            if (kept && twin) {
                kept->setString("LOCATION", place);
                twin->setString("LOCATION", place);
            }
        }
        }
        for (const auto& where : places)
            agree(where);
    }
    EXPECT_GT(kept, 1000) << "a version kept while nothing changed";
    EXPECT_FALSE(scanned.get("ITEMS") &&
                 nested(scanned, "ITEMS")->versionWhere("LOCATION", std::string("SALA")))
        << "no index, no version";
    // A context taken out is no longer followed.
    indexed.setString("ITEMS.R0.LOCATION", "SALA");
    auto out = nested(indexed, "ITEMS.R0");
    indexed.remove("ITEMS.R0");
    indexed.setString("ITEMS.R0.LOCATION", "CANTINA"); // another under its name
    out->setString("LOCATION", "FIENILE");
    auto items = nested(indexed, "ITEMS");
    EXPECT_TRUE(items->namesWhere("LOCATION", Context::Value(std::string("FIENILE"))).empty());
    auto cellar = items->namesWhere("LOCATION", Context::Value(std::string("CANTINA")));
    EXPECT_NE(std::find(cellar.begin(), cellar.end(), "R0"), cellar.end());
}

class ContextFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("state.gcontext");
};

TEST_F(ContextFileTest, SaveAndReloadEveryKind) {
    Context c;
    c.setString("GLOBAL.ITEMS.LAMPADA.LOCATION", "INGRESSO");
    c.setBoolean("GLOBAL.ITEMS.LAMPADA.HIDDEN", true);
    c.setBoolean("FALSE", false);
    c.setInt("MIN", INT32_MIN);
    c.setInt("MAX", INT32_MAX);
    c.setInt("ZERO", 0);
    c.setString("EMPTY", "");
    c.setString("CITTÀ", "perché sì");
    c.setString("LATIN1", std::string("caf\xe9 \xff\xfe", 7));
    c.setString(std::string("N\xe8ME", 4), "latin-1 name");
    c.setString("NUL", std::string("a\0b", 3));
    c.setString("QUOTES", "\"{}[]\\ \n\t'");
    c.setString(" ODD NAME ", "blanks");
    c.setString("BYTES", "not an escape");
    c.set("EMPTYCTX", std::make_shared<Context>());
    c.setString("E..F", "deep empty names");
    ContextFile::write(file, c);

    auto back = ContextFile::read(file);
    EXPECT_EQ(sortedNames(*back), sortedNames(c));
    EXPECT_EQ(back->getString("global.items.lampada.location"), "INGRESSO");
    EXPECT_TRUE(back->getBoolean("GLOBAL.ITEMS.LAMPADA.HIDDEN"));
    EXPECT_EQ(*back->get("FALSE"), Context::Value(false));
    EXPECT_EQ(back->getInt("MIN"), INT32_MIN);
    EXPECT_EQ(back->getInt("MAX"), INT32_MAX);
    EXPECT_EQ(*back->get("ZERO"), Context::Value(0));
    EXPECT_EQ(*back->get("EMPTY"), Context::Value(std::string()));
    EXPECT_EQ(back->getString("CITTÀ"), "perché sì");
    EXPECT_EQ(back->getString("LATIN1"), std::string("caf\xe9 \xff\xfe", 7));
    EXPECT_EQ(back->getString(std::string("N\xe8ME", 4)), "latin-1 name");
    EXPECT_EQ(back->getString("NUL"), std::string("a\0b", 3));
    EXPECT_EQ(back->getString("QUOTES"), "\"{}[]\\ \n\t'");
    EXPECT_EQ(back->getString(" ODD NAME "), "blanks");
    EXPECT_EQ(back->getString("BYTES"), "not an escape");
    EXPECT_EQ(nested(*back, "EMPTYCTX")->count(), 0);
    EXPECT_EQ(back->getString("E..F"), "deep empty names");

    // Saving again over the file replaces it and leaves no temporary file.
    back->setInt("MAX", 5);
    ContextFile::write(file, *back);
    EXPECT_EQ(ContextFile::read(file)->getInt("MAX"), 5);
    EXPECT_EQ(zanfir::test::listDir(dir.path()), std::vector<std::string>{"state.gcontext"});
}

TEST_F(ContextFileTest, BadFilesAreErrorsNotTrees) {
    EXPECT_THROW(ContextFile::read(file), SerializationException);
    const char* bad[] = {
        "",
        "not json",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":1}",
        "[1,2]",
        "{\"format\":\"other\",\"version\":1,\"context\":{}}",
        "{\"format\":\"zanfir-context\",\"version\":2,\"context\":{}}",
        "{\"format\":\"zanfir-context\",\"version\":\"1\",\"context\":{}}",
        "{\"format\":\"zanfir-context\",\"version\":1}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":1.5}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":null}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":[1]}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":2147483648}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":-2147483649}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A.B\":1}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"A\":{\"bytes\":\"zz\"}}}",
        "{\"format\":\"zanfir-context\",\"version\":1,\"context\":{\"bytes:1\":1}}",
    };
    for (const char* text : bad) {
        zanfir::test::writeFile(file, text);
        EXPECT_THROW(ContextFile::read(file), SerializationException) << text;
    }
    std::string deep = "{\"format\":\"zanfir-context\",\"version\":1,\"context\":";
    for (int i = 0; i < 100000; ++i)
        deep += "{\"A\":";
    deep += "1" + std::string(100000, '}') + "}";
    zanfir::test::writeFile(file, deep);
    EXPECT_THROW(ContextFile::read(file), SerializationException);

    zanfir::test::writeFile(file, "{\"format\":\"zanfir-context\",\"version\":1,"
                                  "\"context\":{\"a\":{\"b\":-3}}}");
    EXPECT_EQ(ContextFile::read(file)->getInt("A.B"), -3);
}

TEST_F(ContextFileTest, FailedSaveKeepsTheOldFile) {
    Context c;
    c.setInt("A", 1);
    ContextFile::write(file, c);
    c.setInt("A", 2);
    EXPECT_THROW(ContextFile::write(dir.file("missing/state"), c), SerializationException);
    ::mkdir(dir.file("adir").c_str(), 0700);
    EXPECT_THROW(ContextFile::write(dir.file("adir"), c), SerializationException);

    // A disk that fills up halfway through the save (a child process with a
    // small file size limit): the save fails, and nothing replaces the file.
    c.setString("BIG", std::string(100000, 'x'));
    pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            ContextFile::write(file, c);
        } catch (const SerializationException&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save cut short was done";

    auto names = zanfir::test::listDir(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"adir", "state.gcontext"}));
    EXPECT_EQ(ContextFile::read(file)->getInt("A"), 1);
}

TEST(ContextDumpTest, Columns) {
    Context c;
    c.setInt("SCORE", 10);
    c.setBoolean("ITEMS.LAMP.HIDDEN", true);
    std::ostringstream out;
    Util::contextDump(c, out, 80);
    EXPECT_EQ(out.str(), "SCORE: '10'" + std::string(58, ' ') + "(Integer)\n" + "[ITEMS]\n" +
                             "  [LAMP]\n" + "    HIDDEN: 'true'" + std::string(51, ' ') +
                             "(Boolean)\n");

    Context leaves;
    leaves.setString("NAME", std::string(80, 'x'));
    leaves.setString("CITTÀ", "è");
    leaves.setBoolean("Z.Z", false);
    std::ostringstream wide;
    Util::contextDump(leaves, wide, 80);
    auto rows = zanfir::test::lines(wide.str());
    ASSERT_EQ(rows.size(), 4u);
    // Leaves come before nested contexts; the kind column counts characters.
    EXPECT_EQ(rows[2], "[Z]");
    EXPECT_EQ(rows[3], "  Z: 'false'" + std::string(57, ' ') + "(Boolean)");
    for (int i = 0; i < 2; ++i) {
        if (rows[i].starts_with("NAME"))
            EXPECT_EQ(rows[i], "NAME: '" + std::string(80, 'x') + "' (String)");
        else
            EXPECT_EQ(rows[i], "CITTÀ: 'è'" + std::string(59, ' ') + "(String)");
    }
}

TEST(ContextConcurrencyTest, WritersReadersAndSaves) {
    TempDir dir;
    auto shared = std::make_shared<Context>();
    shared->setString("GLOBAL.ITEMS.LAMP.LOCATION", "A");
    nested(*shared, "GLOBAL.ITEMS")->indexBy("LOCATION");
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                std::string user = "USER." + std::to_string(t);
                shared->setInt(user + ".MOVES", i);
                shared->setString(user + ".ITEMS.I" + std::to_string(i % 10), "x");
                shared->remove(user + ".ITEMS.I" + std::to_string((i + 5) % 10));
                EXPECT_EQ(shared->getInt(user + ".MOVES"), i);
                shared->exist("GLOBAL.ITEMS.LAMP.HIDDEN");
                std::string item = "GLOBAL.ITEMS.T" + std::to_string(t);
                shared->setString(item + ".LOCATION", i % 2 ? "A" : "B");
                if (i % 100 == 0)
                    shared->remove(item);
                nested(*shared, "GLOBAL.ITEMS")->namesWhere("LOCATION", std::string("A"));
                Context copy;
                copy.copyFrom(*shared);
            }
        });
    }
    std::thread saver([&] {
        int saves = 0;
        while (!stop || saves < 3) {
            std::string file = dir.file("g" + std::to_string(saves % 2));
            ContextFile::write(file, *shared);
            auto back = ContextFile::read(file);
            for (int t = 0; t < 4; ++t)
                EXPECT_GE(back->getInt("USER." + std::to_string(t) + ".MOVES"), 0);
            std::ostringstream dump;
            Util::contextDump(*shared, dump, 80);
            ++saves;
        }
    });
    for (auto& thread : threads)
        thread.join();
    stop = true;
    saver.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(shared->getInt("USER." + std::to_string(t) + ".MOVES"), 1999);
    auto inA = nested(*shared, "GLOBAL.ITEMS")->namesWhere("LOCATION", std::string("A"));
    std::sort(inA.begin(), inA.end());
    EXPECT_EQ(inA, (std::vector<std::string>{"LAMP", "T0", "T1", "T2", "T3"}));
}

} // namespace
