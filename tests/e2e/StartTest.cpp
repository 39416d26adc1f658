#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"

using namespace zanfir::test;

namespace {

class StartTest : public ::testing::Test {
protected:
    void SetUp() override { main = copyFixture("castello", dir); }

    std::vector<std::string> log() { return logLines(dir.file("logs")); }

    TempDir dir;
    std::string main;
};

TEST_F(StartTest, LoadsTheWorldAndWaits) {
    Process zanfir({main, "-log"});
    ASSERT_TRUE(waitUntil([&] { return log().size() >= 5; })) << testing::PrintToString(log());
    auto rows = log();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], "Main                           INFO Inizializzazione");
    EXPECT_EQ(rows[1].substr(36), "Caricamento dizionario");
    EXPECT_EQ(rows[2].substr(36), "Caricamento inventario");
    EXPECT_EQ(rows[3].substr(36), "Caricamento mappa");
    EXPECT_EQ(rows[4].substr(36), "Caricamento tavola delle azioni");
    zanfir.kill();
    RunResult result = zanfir.finish();
    EXPECT_EQ(result.err, "");
}

// A setting that cannot be used is told on standard error and in the log;
// the game goes on with its default.
TEST_F(StartTest, SettingsThatCannotBeUsedAreTold) {
    writeFile(main, "CheckpointSeconds=-5\nLogLevel=tutto\n" + readFile(main));
    RunResult run = runZanfir({main, "-log"}, "Mario\nguarda\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "Impostazione CheckpointSeconds: -5 e' meno di 1; uso 60\n"
                       "Impostazione LogLevel: 'tutto' non e' uno fra INFO, WARN, FAIL; uso "
                       "INFO\n");
    EXPECT_NE(run.out.find("Cosa devo fare? "), std::string::npos);
    auto rows = log();
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0], "Main                           WARN Impostazione CheckpointSeconds: -5 "
                       "e' meno di 1; uso 60");
    EXPECT_EQ(rows[1].substr(36), "Impostazione LogLevel: 'tutto' non e' uno fra INFO, WARN, "
                                  "FAIL; uso INFO");
}

TEST_F(StartTest, MissingActionSetIsOnlyAWarning) {
    std::remove(dir.file("castello.actionset").c_str());
    Process zanfir({main, "-log"});
    ASSERT_TRUE(waitUntil([&] { return log().size() >= 5; }));
    EXPECT_EQ(log()[1], "Main                           WARN Eccezione ConfigNotFoundException: "
                        "File di definizione inesistente: '" +
                            dir.file("castello.actionset") + "'");
}

TEST_F(StartTest, BrokenFilesStopTheStart) {
    struct Case {
        std::string file, content, report; // no content: the file is removed
        std::string place;                 // where it stands, when a line is at fault
    };
    const std::vector<Case> cases = {
        {"castello.dictionary", "",
         "Eccezione ConfigNotFoundException: File di definizione inesistente: '", ""},
        {"castello.inventory", "[LANTERNA]\nDESCR=\"una lanterna\n",
         "Eccezione ConfigSyntaxException: Errore di sintassi nella linea del file di "
         "definizione: 'DESCR=\"una lanterna'",
         "castello.inventory:2 [LANTERNA] DESCR"},
        {"castello.map", "[SALA]\nNORTH=SALA\n\nDESCR=\"Una sala \"\n \"{buia.\"\n",
         "Eccezione Exception: parantesi non bilanciate", "castello.map:4 [SALA] DESCR"},
        {"castello.inventory", "[LANTERNA]\nDESCR=Una lanterna {accendi}.\n",
         "Eccezione ActionSyntaxException: Errore generale nel comando dell'azione (Errore "
         "generale nel comando dell'azione (comando non riconosciuto): 'accendi'): 'accendi'",
         "castello.inventory:2 [LANTERNA] DESCR"},
    };
    for (const auto& [name, content, expected, place] : cases) {
        TempDir fresh;
        std::string file = copyFixture("castello", fresh);
        std::string broken = fresh.file(name);
        std::string report = expected;
        if (content.empty()) {
            std::remove(broken.c_str());
            report += broken + "'";
        } else {
            writeFile(broken, content);
        }
        RunResult result = runZanfir({file, "-log"});
        EXPECT_EQ(result.status, 1) << name;
        // The failure as it always was, then where it stands.
        EXPECT_EQ(result.err, report + "\n" + (place.empty() ? "" : "  in " + place + "\n"))
            << name;
        auto rows = logLines(fresh.file("logs"));
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), "Zanfir main                    FAIL " + report +
                                   (place.empty() ? "" : " (in " + place + ")"))
            << name;
    }
}

} // namespace
