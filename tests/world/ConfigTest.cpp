#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "runtime/Errors.h"
#include "runtime/Settings.h"
#include "util/Util.h"
#include "world/Config.h"

using namespace zanfir;
using zanfir::test::TempDir;
using zanfir::test::writeFile;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { Config::resetGlobalConfig(); }
    void TearDown() override { Config::resetGlobalConfig(); }

    Config load(const std::string& text) {
        writeFile(dir.file("x.cfg"), text);
        return Config(dir.path(), "x.cfg");
    }

    TempDir dir;
};

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST_F(ConfigTest, WorkedExample) {
    Config c = load("// main definition file\n"
                    "TITLE=La torre\n"
                    "[START]\n"
                    "DESCR=\"Sei ai piedi di una torre. \"\n"
                    "      \"La porta e' aperta.\"\n"
                    "NORTH=ATRIO   // the hall\n"
                    "NOTE=prima riga\\nseconda riga\n"
                    "     e ancora\n"
                    "ACTIONS={uno}\n"
                    "        {due}\n");
    EXPECT_EQ(c.get("TITLE"), "La torre");
    EXPECT_EQ(c.get("DESCR", "START"), "Sei ai piedi di una torre. La porta e' aperta.");
    EXPECT_EQ(c.get("NORTH", "START"), "ATRIO");
    EXPECT_EQ(c.get("NOTE", "START"), "prima riga\nseconda riga e ancora");
    EXPECT_EQ(c.get("ACTIONS", "START"), "{uno}{due}");
    EXPECT_EQ(c.sections(), std::vector<std::string>{"START"});
    EXPECT_EQ(sorted(c.variables("start")),
              (std::vector<std::string>{"ACTIONS", "DESCR", "NORTH", "NOTE"}));
    EXPECT_EQ(c.variables(), std::vector<std::string>{"TITLE"});
}

TEST_F(ConfigTest, LineKinds) {
    Config c = load("A=uno\n"
                    "  B=indented\n"
                    "X Y=two words\n"
                    "=first column\n"
                    "   [T]\n"
                    "[ S ] trailing text\n"
                    "C=\"keep // this\" ignored\n"
                    "D=before \"inside\" after\n"
                    "E=cut // note\n"
                    "[  ]\n"
                    "F=top again\n");
    EXPECT_EQ(c.get("A"), "uno B=indented X Y=two words =first column [T]");
    EXPECT_EQ(c.getN("B"), std::nullopt);
    EXPECT_EQ(c.getN("X"), std::nullopt);
    EXPECT_EQ(c.get("C", "S"), "keep // this");
    EXPECT_EQ(c.get("D", "S"), "inside");
    EXPECT_EQ(c.get("E", "S"), "cut");
    EXPECT_EQ(c.get("F"), "top again");
    EXPECT_EQ(c.sections(), (std::vector<std::string>{"S", ""}));
}

TEST_F(ConfigTest, ContinuationJoinsAndLookups) {
    Config c = load("A=\n"
                    "  one\n"
                    "\n"
                    "  // a comment in between\n"
                    "  two\n"
                    "Q=\"a\"\n"
                    "  \"b \"\n"
                    "  c\n"
                    "B={x}\n"
                    "  y\n"
                    "K=old\n"
                    "k = new\n"
                    "EMPTY=\n"
                    "EMPTY2=\"\"\n");
    EXPECT_EQ(c.get("A"), "one two");
    EXPECT_EQ(c.get("Q"), "ab  c");
    EXPECT_EQ(c.get("B"), "{x}y");
    EXPECT_EQ(c.get("  k "), "new");
    EXPECT_EQ(c.getN("EMPTY"), "");
    EXPECT_EQ(c.getN("EMPTY2"), "");
    EXPECT_EQ(c.getN("MISSING"), std::nullopt);
    EXPECT_EQ(c.get("MISSING"), "");
    EXPECT_EQ(c.getD("MISSING", "dflt"), "dflt");
    EXPECT_EQ(c.getD("K", "dflt"), "new");
}

TEST_F(ConfigTest, Escapes) {
    Config c = load("S=\\s\n"
                    "T=a\\tb\\\\cd\\qe\n"
                    "Q=\"say \\\"hi\\\"\"\n"
                    "END=trailing\\\n"
                    "CTRL=\\r\\b\\f\n");
    EXPECT_EQ(c.get("S"), " ");
    EXPECT_EQ(c.get("T"), "a\tb\\cdqe");
    EXPECT_EQ(c.get("Q"), "say \"hi\"");
    EXPECT_EQ(c.get("END"), "trailing\\");
    EXPECT_EQ(c.get("CTRL"), "\r\b\f");
}

TEST_F(ConfigTest, SectionsAndNames) {
    Config c = load("orphan text before any variable\n"
                    "TOP=1\n"
                    "S/INNER=via slash\n"
                    "[S]\n"
                    "orphan text in a section\n"
                    "A=first\n"
                    "[OTHER]\n"
                    "A=other\n"
                    "[s]\n"
                    "B=second\n"
                    "a=again\n");
    EXPECT_EQ(c.get("TOP"), "1");
    EXPECT_EQ(c.get("inner", "s"), "via slash");
    EXPECT_EQ(c.get("A", "S"), "again"); // the last value counts, and is told
    EXPECT_EQ(c.repeated(), (std::vector<std::pair<std::string, std::string>>{{"S", "A"}}));
    EXPECT_EQ(c.get("B", " s "), "second");
    EXPECT_EQ(c.get("A", "OTHER"), "other");
    EXPECT_EQ(c.get("S/A"), "again");
    EXPECT_EQ(c.sections(), (std::vector<std::string>{"S", "OTHER", "S"}));
    EXPECT_EQ(sorted(c.variables("S")), (std::vector<std::string>{"A", "B", "INNER"}));
    EXPECT_EQ(c.variables(), std::vector<std::string>{"TOP"});
}

TEST_F(ConfigTest, LineEnds) {
    Config c = load("A=1\r\nB=2\rC=3\n[S]\r\nD=\"x\"\r\n  \"y\"\r");
    EXPECT_EQ(c.get("A"), "1");
    EXPECT_EQ(c.get("B"), "2");
    EXPECT_EQ(c.get("C"), "3");
    EXPECT_EQ(c.get("D", "S"), "xy");
    // The mark some editors put at the start of a UTF-8 file is no text.
    Config marked = load("\xEF\xBB\xBF[IGNORE]\nA=il, lo\n");
    EXPECT_EQ(marked.sections(), std::vector<std::string>{"IGNORE"});
    EXPECT_EQ(marked.get("A", "IGNORE"), "il, lo");
    EXPECT_EQ(load("\xEF\xBB\xBFRowLength=60\n").get("ROWLENGTH"), "60");
}

TEST_F(ConfigTest, Errors) {
    try {
        load("A=1\nB=\"never closed\\\" //\n");
        FAIL() << "no syntax error";
    } catch (const ConfigSyntaxException& e) {
        EXPECT_EQ(e.getLine(), "B=\"never closed\\\" //");
        EXPECT_STREQ(e.what(), "Errore di sintassi nella linea del file di definizione: "
                               "'B=\"never closed\\\" //'");
    }
    try {
        Config(dir.path(), "missing.cfg");
        FAIL() << "no error for a missing file";
    } catch (const ConfigNotFoundException& e) {
        EXPECT_EQ(e.getPath(), dir.path() + "/missing.cfg");
        EXPECT_EQ(std::string(e.what()),
                  "File di definizione inesistente: '" + dir.path() + "/missing.cfg'");
    }
    EXPECT_THROW(Config(dir.path(), ""), ConfigNotFoundException); // a directory
}

// Files are found in the directory of the first main file registered.
TEST_F(ConfigTest, GlobalFileGivesBaseDirectory) {
    writeFile(dir.file("main.zanfa"), "A=main\n[BEGINNING]\nLOCATION=HALL\n");
    writeFile(dir.file("other.map"), "M=map\n");
    auto main = std::make_shared<Config>(dir.path() + "/", "main.zanfa");
    Config::setGlobalConfig(main);
    EXPECT_EQ(main->getBaseDir(), dir.path() + "/");
    Config other("other.map");
    EXPECT_EQ(other.getPath(), dir.path() + "/other.map");
    EXPECT_EQ(other.get("M"), "map");
    EXPECT_EQ(other.getBaseDir(), "");
    // The first global file stays.
    std::filesystem::create_directory(dir.file("sub"));
    writeFile(dir.file("sub/other.map"), "M=sub\n");
    Config::setGlobalConfig(std::make_shared<Config>(dir.path() + "/sub/", "other.map"));
    EXPECT_EQ(Config("other.map").get("M"), "map");
}

TEST_F(ConfigTest, SettingsAndTheirDefaults) {
    Settings none = Settings::read(load("[BEGINNING]\nRowLength=20\n"));
    EXPECT_EQ(none.log_path, "logs");
    EXPECT_TRUE(none.log_crlf && none.remote_out_crlf && none.remote_in_echo);
    EXPECT_FALSE(none.console_out_crlf || none.preformatted || none.remote_passwords);
    EXPECT_EQ(none.log_level, "INFO");
    EXPECT_EQ(none.remote_port, "12345");
    EXPECT_EQ(none.remote_address, "");
    EXPECT_EQ(none.title, "");
    EXPECT_EQ(none.row_length, 80); // a section's variable is no setting
    EXPECT_FALSE(none.row_length_given);
    EXPECT_EQ(none.remote_out_queue, 1024u * 1024u);
    EXPECT_EQ(none.remote_send_timeout, std::chrono::milliseconds(2000));
    EXPECT_EQ(none.stop_timeout, std::chrono::milliseconds(5000));
    EXPECT_EQ(none.command_steps, 1000000);
    EXPECT_EQ(none.command_output, 256u * 1024u);
    EXPECT_EQ(none.quote_queue, 64u);
    EXPECT_EQ(none.quote_queue_bytes, 64u * 1024u);
    EXPECT_EQ(none.checkpoint_interval, std::chrono::seconds(60));
    EXPECT_EQ(none.journal_limit, 64u * 1024u * 1024u);
    EXPECT_EQ(none.login_timeout, std::chrono::seconds(60));
    EXPECT_EQ(none.idle_timeout, std::chrono::seconds(0));
    EXPECT_EQ(none.max_connections, 2000u);
    EXPECT_EQ(none.max_connections_per_address, 50u);
    EXPECT_EQ(none.new_players_per_minute, 3u);
    EXPECT_EQ(none.address_lockout_failures, 50u);
    EXPECT_EQ(none.welcome, "");
    EXPECT_EQ(none.commands_per_second, 50u);

    Settings set = Settings::read(load("LogPath=diario\nLogCRLF=false\nLogLevel=WARN\n"
                                       "ConsoleOutCRLF=True\nRemotePort=4000\n"
                                       "RemoteOutCRLF=no\nRemoteInEcho=FALSE\n"
                                       "RowLength=60\nPreformatted=TRUE\n"
                                       "RemoteOutQueue=65536\nRemoteSendTimeout=20\n"
                                       "CommandSteps=10\nCommandOutput=20\nQuoteQueue=3\n"
                                       "QuoteQueueBytes=30\nStopTimeout=100\n"
                                       "CheckpointSeconds=2\nJournalBytes=4096\n"
                                       "LoginTimeout=5\nIdleTimeout=600\nMaxConnections=9\n"
                                       "MaxConnectionsPerAddress=3\nNewPlayersPerMinute=7\n"
                                       "CommandsPerSecond=8\nRemotePasswords=true\n"
                                       "RemoteAddress= 127.0.0.1 \nTitle=La torre\n"
                                       "AddressLockoutFailures=12\nWelcome=Ciao a tutti.\n"));
    EXPECT_EQ(set.log_path, "diario");
    EXPECT_FALSE(set.log_crlf || set.remote_out_crlf || set.remote_in_echo);
    EXPECT_EQ(set.log_level, "WARN");
    EXPECT_TRUE(set.console_out_crlf && set.preformatted && set.remote_passwords);
    EXPECT_EQ(set.remote_port, "4000");
    EXPECT_EQ(set.remote_address, "127.0.0.1");
    EXPECT_EQ(set.title, "La torre");
    EXPECT_EQ(set.row_length, 60);
    EXPECT_TRUE(set.row_length_given);
    EXPECT_EQ(set.remote_out_queue, 65536u);
    EXPECT_EQ(set.remote_send_timeout, std::chrono::milliseconds(20));
    EXPECT_EQ(set.stop_timeout, std::chrono::milliseconds(100));
    EXPECT_EQ(set.command_steps, 10);
    EXPECT_EQ(set.command_output, 20u);
    EXPECT_EQ(set.quote_queue, 3u);
    EXPECT_EQ(set.quote_queue_bytes, 30u);
    EXPECT_EQ(set.checkpoint_interval, std::chrono::seconds(2));
    EXPECT_EQ(set.journal_limit, 4096u);
    EXPECT_EQ(set.login_timeout, std::chrono::seconds(5));
    EXPECT_EQ(set.idle_timeout, std::chrono::seconds(600));
    EXPECT_EQ(set.max_connections, 9u);
    EXPECT_EQ(set.max_connections_per_address, 3u);
    EXPECT_EQ(set.new_players_per_minute, 7u);
    EXPECT_EQ(set.address_lockout_failures, 12u);
    EXPECT_EQ(set.welcome, "Ciao a tutti.");
    EXPECT_EQ(set.commands_per_second, 8u);

    for (const char* length : {"0", "-5", "wide", "80x", ""}) {
        auto odd = Settings::read(
            load(std::string("RowLength=") + length + "\nRemoteOutQueue=" + length + "\n"));
        EXPECT_EQ(odd.row_length, 80) << length;
        EXPECT_FALSE(odd.row_length_given) << length;
        EXPECT_EQ(odd.remote_out_queue, 1024u * 1024u) << length;
    }
}

// A value that cannot be used leaves the default, and says why; one at the
// edge of its range is used. An empty number counts as absent.
TEST_F(ConfigTest, SettingsThatCannotBeUsedAreTold) {
    std::vector<std::string> problems;
    Settings odd = Settings::read(load("CheckpointSeconds=-5\nWebPort=ottanta\nRowLength=0\n"
                                       "IdleTimeout=0\nLoginTimeout=1\nLogLevel=debug\n"
                                       "QuoteQueue=\nWebPort=70000\nRemoteInEcho=si\n"),
                                  &problems);
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "Impostazione RowLength: 0 e' meno di 1; uso 80",
                            "Impostazione WebPort: 70000 non e' fra 0 e 65535; uso 0",
                            "Impostazione CheckpointSeconds: -5 e' meno di 1; uso 60",
                            "Impostazione LogLevel: 'debug' non e' uno fra INFO, WARN, FAIL; uso "
                            "INFO",
                        }));
    EXPECT_EQ(odd.checkpoint_interval, std::chrono::seconds(60));
    EXPECT_EQ(odd.web_port, 0);
    EXPECT_FALSE(odd.row_length_given);
    EXPECT_EQ(odd.idle_timeout, std::chrono::seconds(0));
    EXPECT_EQ(odd.login_timeout, std::chrono::seconds(1));
    EXPECT_EQ(odd.quote_queue, 64u);
    EXPECT_FALSE(odd.remote_in_echo);
    problems.clear();
    Settings::read(load("WebPort=ottanta\nLogLevel=warn\nWebPort=65535\n"), &problems);
    EXPECT_TRUE(problems.empty());
    Settings::read(load("WebPort=ottanta\n"), &problems);
    EXPECT_EQ(problems, std::vector<std::string>{
                            "Impostazione WebPort: 'ottanta' non e' un numero intero; uso 0"});
}

// Every setting is in the README's tables, with the default it has.
TEST(SettingsTest, TheReadmeListsEverySettingWithItsDefault) {
    std::string readme = zanfir::test::readFile(std::string(ZANFIR_SOURCE_DIR) + "/README.md");
    std::set<std::string> names;
    for (const auto& entry : Settings::table()) {
        EXPECT_TRUE(names.insert(zanfir::Util::toUpper(entry.name)).second) << entry.name;
        std::string value = entry.shown ? entry.shown : entry.get(Settings());
        std::string row =
            "| `" + std::string(entry.name) + "` | " + (value.empty() ? "(empty)" : value) + " |";
        EXPECT_NE(readme.find(row), std::string::npos) << row;
    }
}

} // namespace
