#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"

using namespace zanfir::test;

namespace {

const std::string BANNER = "Zanfir v. 1.00 - Interprete Java di avventure testuali\n";
const std::string USAGE =
    "Sintassi: Zanfir <adventure>.zanfa [-server] [-mud] [-debug] [-log] [-dump]\n";

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir(dir.file("adv").c_str(), 0755);
        ::mkdir(dir.file("adv/logs").c_str(), 0755);
        writeFile(dir.file("adv/castello.zanfa"), "[BEGINNING]\nLOCATION=INGRESSO\n");
    }

    std::vector<std::string> logLines(const std::string& folder = "adv/logs") {
        return zanfir::test::logLines(dir.file(folder));
    }

    TempDir dir;
};

TEST_F(CommandLineTest, BannerAndUsageForEveryInvalidLine) {
    RunResult none = runZanfir({});
    EXPECT_EQ(none.status, 2);
    ASSERT_TRUE(none.out.starts_with(BANNER)) << none.out;
    auto rows = lines(none.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[1].empty());
    EXPECT_EQ(rows[2], "");
    EXPECT_EQ(rows[3] + "\n", USAGE);

    const std::vector<std::vector<std::string>> invalid = {
        {"adv/castello.zanfa", "-fast"},   // unknown switch
        {"adv/castello", "-log", "extra"}, // unknown word after valid switches
        {"adv/missing.zanfa"},             // no such file
        {"adv/missing"},                   // no such file after appending
        {"-server"},                       // the first word is the file
        {"adv"},                           // a directory, even as adv.zanfa
        {"dir.zanfa/castello"},            // ".zanfa" only in a directory
    };
    ::mkdir(dir.file("adv.zanfa").c_str(), 0755);
    ::mkdir(dir.file("dir.zanfa").c_str(), 0755);
    writeFile(dir.file("dir.zanfa/castello"), "A=1\n");
    for (const auto& args : invalid) {
        RunResult run = runZanfir(args, "", dir.path());
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.out.substr(run.out.find("\n\n") + 2), USAGE) << args[0];
        EXPECT_EQ(run.err, "") << args[0];
    }
    EXPECT_TRUE(logLines().empty());
}

// The main file alone lets the program start and then stop at the first
// missing file, whose path shows the derived name and directory.
const std::string MISSING_MAP =
    "Eccezione ConfigNotFoundException: File di definizione inesistente: '";

TEST_F(CommandLineTest, NameDirectoryAndSwitches) {
    // Console mode without switches: no log.
    RunResult plain = runZanfir({"adv/castello"}, "", dir.path());
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err, MISSING_MAP + "adv/castello.map'\n");
    EXPECT_TRUE(logLines().empty());

    // Switches in any case; the log goes below the adventure's directory.
    RunResult logged = runZanfir({"adv/castello.zanfa", "-LoG", "-DEBUG", "-log"}, "", dir.path());
    // With -debug the report is followed by the trace.
    std::string report = MISSING_MAP + "adv/castello.map'\n";
    EXPECT_TRUE(logged.err.starts_with(report + report + "\tat ")) << logged.err;
    auto rows = logLines();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "Main                           INFO Inizializzazione\r");
    EXPECT_EQ(rows[1],
              "Zanfir main                    FAIL " + MISSING_MAP + "adv/castello.map'\r");

    // "-server" always logs; an absolute path works from any directory.
    RunResult server = runZanfir({dir.file("adv/castello.zanfa"), "-server", "-mud", "-dump"});
    EXPECT_EQ(server.err, MISSING_MAP + dir.file("adv/castello.map") + "'\n");
    EXPECT_EQ(logLines().size(), 4u);

    // "-mud" and "-dump" alone change nothing: no log.
    RunResult mud = runZanfir({"castello", "-mud", "-dump"}, "", dir.file("adv"));
    EXPECT_EQ(mud.err, MISSING_MAP + "castello.map'\n");
    EXPECT_EQ(logLines().size(), 4u);
}

TEST_F(CommandLineTest, NamesAreCutAndLowerCased) {
    // The existence test uses the argument as typed; the files opened use
    // the lower-cased name cut before ".zanfa".
    writeFile(dir.file("adv/TORRE.ZANFA"), "A=1\n");
    RunResult upper = runZanfir({"adv/TORRE.ZANFA"}, "", dir.path());
    EXPECT_EQ(upper.status, 1);
    EXPECT_EQ(upper.err, MISSING_MAP + "adv/torre.zanfa'\n");
    EXPECT_EQ(upper.out.find("Sintassi"), std::string::npos);

    writeFile(dir.file("adv/a.zanfa.bak"), "A=1\n");
    RunResult bak = runZanfir({"adv/a.zanfa.bak"}, "", dir.path());
    EXPECT_EQ(bak.err, MISSING_MAP + "adv/a.zanfa'\n");

    writeFile(dir.file("adv/a.zanfa"), "LogPath=\"\"\n");
    RunResult cut = runZanfir({"adv/a.zanfa.bak", "-log"}, "", dir.path());
    EXPECT_EQ(cut.err, MISSING_MAP + "adv/a.map'\n");
    EXPECT_EQ(logLines("adv").size(), 2u); // an empty LogPath is the directory itself
}

TEST_F(CommandLineTest, StartUpFailuresAreReported) {
    writeFile(dir.file("adv/rotto.zanfa"), "LogPath=logs\nINTRO=\"never closed\n");
    RunResult broken = runZanfir({"adv/rotto", "-log", "-debug"}, "", dir.path());
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err, "Eccezione ConfigSyntaxException: Errore di sintassi nella linea del "
                          "file di definizione: 'INTRO=\"never closed'\n"
                          "  in rotto.zanfa:2 INTRO\n");
    EXPECT_EQ(broken.out.find("Sintassi"), std::string::npos);
    EXPECT_TRUE(logLines().empty()); // the log was not on yet

    // A log directory that does not exist is reported once, with what to
    // do, and never created.
    std::string game = copyFixture("castello", dir);
    std::string main = readFile(game);
    writeFile(game, "LogPath=nowhere\n" + main);
    RunResult nolog = runZanfir({game, "-log"}, "Anna\nguarda\nnord\nbasta\ns\n");
    const std::string told =
        "IMPOSSIBILE APRIRE IL FILE DI LOG! system_error: " + dir.file("nowhere/");
    EXPECT_TRUE(nolog.err.starts_with(told)) << nolog.err;
    EXPECT_EQ(nolog.err.find("IMPOSSIBILE", 1), std::string::npos) << nolog.err;
    EXPECT_NE(nolog.err.find("\nIl log resta spento finche' il file non si puo' aprire: crea la "
                             "cartella, o indicane un'altra con LogPath nel file principale.\n"),
              std::string::npos)
        << nolog.err;
    EXPECT_FALSE(fileExists(dir.file("nowhere")));
}

} // namespace
