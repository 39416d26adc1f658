#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>
#include <set>

#include "TestSupport.h"

using namespace zanfir::test;
using namespace zanfir::test::prompts;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> PROGRAMS = {"zanfir", "zanfir-check", "zanfir-script",
                                           "zanfir-admin", "zanfir-world"};

// This build, installed once below a temporary prefix.
class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix = std::make_unique<TempDir>();
        installed =
            runProgram(ZANFIR_CMAKE, {"--install", fs::path(ZANFIR_BIN).parent_path().string(),
                                      "--prefix", prefix->path()});
    }
    static void TearDownTestSuite() { prefix.reset(); }

    void SetUp() override { ASSERT_EQ(installed.status, 0) << installed.out << installed.err; }

    static std::string bin(const std::string& program) { return prefix->file("bin/" + program); }
    static std::string adventures() { return prefix->file("share/zanfir/adventures"); }

    static std::unique_ptr<TempDir> prefix;
    static RunResult installed;
};

std::unique_ptr<TempDir> InstallTest::prefix;
RunResult InstallTest::installed;

// The GNU layout: programs that run, the bundled adventures and nothing a
// game left beside them, a man page each, the unit running the installed
// world.
TEST_F(InstallTest, PutsEveryFileInItsPlace) {
    for (const auto& program : PROGRAMS) {
        EXPECT_EQ(access(bin(program).c_str(), X_OK), 0) << program;
        EXPECT_TRUE(fileExists(prefix->file("share/man/man1/" + program + ".1"))) << program;
        RunResult help = runProgram(bin(program), {"--help"});
        EXPECT_NE((help.out + help.err).find("Sintassi: "), std::string::npos) << program;
    }
    const std::set<std::string> kinds = {".zanfa",     ".map",       ".dictionary",
                                         ".inventory", ".actionset", ".walkthrough"};
    for (const char* name : {"miniera", "torre", "tutorial"})
        EXPECT_TRUE(fileExists(adventures() + "/" + name + "/" + name + ".zanfa")) << name;
    for (const auto& entry : fs::recursive_directory_iterator(adventures()))
        if (entry.is_directory())
            EXPECT_EQ(entry.path().parent_path(), adventures()) << entry.path();
        else
            EXPECT_TRUE(kinds.contains(entry.path().extension().string())) << entry.path();
    std::string unit = readFile(prefix->file("lib/systemd/system/zanfir.service"));
    EXPECT_NE(unit.find("\nExecStart=zanfir-world miniera /var/lib/zanfir\n"), std::string::npos);
    EXPECT_NE(unit.find("\nStateDirectory=zanfir\n"), std::string::npos);
}

// zanfir-world copies the adventure once into the state folder and the
// server runs there: the installed files stay as they were, and a second
// start keeps the world.
TEST_F(InstallTest, RunsASharedWorldOnACopy) {
    TempDir source, state;
    fs::copy(adventures() + "/miniera", source.file("miniera"));
    int port = freePort();
    std::string main = source.file("miniera/miniera.zanfa");
    std::string text = readFile(main);
    text.insert(text.find("\nRemotePort=") + 1, "//");
    writeFile(main, "RemotePort=" + std::to_string(port) + "\n" + text);

    {
        Process server(bin("zanfir-world"), {main, state.path()});
        TcpClient anna(port);
        anna.until(NAME);
        anna.send("Anna\r\n");
        anna.until(PASSWORD);
        anna.send("segreto\r\n");
        anna.until(AGAIN);
        anna.send("segreto\r\n");
        anna.until(PROMPT);
        server.signal(SIGTERM);
        RunResult stopped = server.finish();
        EXPECT_EQ(stopped.status, 0) << stopped.err;
    }
    EXPECT_TRUE(fileExists(state.file("miniera/miniera.gcontext")));
    EXPECT_FALSE(logLines(state.file("miniera/logs")).empty());
    EXPECT_FALSE(fileExists(source.file("miniera/miniera.gcontext")));
    EXPECT_FALSE(fileExists(adventures() + "/miniera/miniera.gcontext"));

    // By its installed name now: the copy with its port and its player stays.
    Process again(bin("zanfir-world"), {"miniera", state.path()});
    TcpClient anna(port);
    anna.until(NAME);
    anna.send("Anna\r\n");
    std::string known = anna.until(PASSWORD);
    EXPECT_EQ(known.find(NEW_NAME), std::string::npos) << known;
    anna.close();
    again.signal(SIGTERM);
    RunResult stopped = again.finish();
    EXPECT_EQ(stopped.status, 0) << stopped.err;
}

TEST_F(InstallTest, WorldTellsWhatItCannotRun) {
    TempDir state;
    RunResult unknown = runProgram(bin("zanfir-world"), {"miniere", state.path()});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("avventura inesistente"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("miniera torre tutorial"), std::string::npos) << unknown.err;
    EXPECT_TRUE(listDir(state.path()).empty());
    EXPECT_EQ(runProgram(bin("zanfir-world"), {"miniera"}).status, 2);
}

} // namespace
