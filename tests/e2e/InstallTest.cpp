#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

// An installed program run in the background, its output kept in a file;
// killed if the test leaves it running.
class Background {
public:
    Background(const std::string& program, const std::vector<std::string>& args,
               const std::string& output) {
        _pid = fork();
        if (_pid == 0) {
            int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 1);
            dup2(fd, 2);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Background() {
        if (_pid > 0) {
            ::kill(_pid, SIGKILL);
            waitpid(_pid, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Sends the signal and waits for the end: the exit status, or -1 when
    // it was killed or did not end in time.
    int stop(int signal) {
        ::kill(_pid, signal);
        int status = 0;
        if (!waitUntil([&] { return waitpid(_pid, &status, WNOHANG) == _pid; }))
            return -1;
        _pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t _pid = -1;
};

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
        Background server(bin("zanfir-world"), {main, state.path()}, source.file("out"));
        TcpClient anna(port);
        anna.until(NAME);
        anna.send("Anna\r\n");
        anna.until(PASSWORD);
        anna.send("segreto\r\n");
        anna.until(AGAIN);
        anna.send("segreto\r\n");
        anna.until(PROMPT);
        EXPECT_EQ(server.stop(SIGTERM), 0) << readFile(source.file("out"));
    }
    EXPECT_TRUE(fileExists(state.file("miniera/miniera.gcontext")));
    EXPECT_FALSE(logLines(state.file("miniera/logs")).empty());
    EXPECT_FALSE(fileExists(source.file("miniera/miniera.gcontext")));
    EXPECT_FALSE(fileExists(adventures() + "/miniera/miniera.gcontext"));

    // By its installed name now: the copy with its port and its player stays.
    Background again(bin("zanfir-world"), {"miniera", state.path()}, source.file("out"));
    TcpClient anna(port);
    anna.until(NAME);
    anna.send("Anna\r\n");
    std::string known = anna.until(PASSWORD);
    EXPECT_EQ(known.find(NEW_NAME), std::string::npos) << known;
    anna.close();
    EXPECT_EQ(again.stop(SIGTERM), 0) << readFile(source.file("out"));
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
