#include <gtest/gtest.h>

#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
#include <regex>
#include <thread>

#include "TestSupport.h"
#include "util/Util.h"

using namespace zanfir::test;

namespace {

using namespace zanfir::test::prompts;

// A program on a pseudo-terminal of a given size, as a player runs it;
// killed when destroyed.
class Pty {
public:
    Pty(const std::vector<std::string>& args, int columns) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 30;
        _pid = ::forkpty(&_fd, nullptr, nullptr, &size);
        if (_pid == 0) {
            ::setenv("TERM", "xterm", 1);
            std::vector<char*> argv;
            for (const auto& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Pty() {
        if (_pid > 0) {
            ::kill(_pid, SIGKILL);
            ::waitpid(_pid, nullptr, 0);
        }
        if (_fd >= 0)
            ::close(_fd);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    void type(const std::string& keys) {
        ASSERT_EQ(::write(_fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void resize(int columns) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 30;
        ::ioctl(_fd, TIOCSWINSZ, &size);
    }
    // The screen from where the last call stopped up to the marker.
    std::string until(const std::string& marker) {
        std::size_t from = _seen;
        bool found = waitUntil([&] {
            char chunk[4096];
            ssize_t n;
            while ((n = ::read(_fd, chunk, sizeof chunk)) > 0)
                _screen.append(chunk, static_cast<std::size_t>(n));
            return _screen.find(marker, from) != std::string::npos;
        });
        EXPECT_TRUE(found) << "no \"" << marker << "\" in: " << _screen.substr(from);
        std::size_t end = found ? _screen.find(marker, from) + marker.size() : _screen.size();
        _seen = end;
        return _screen.substr(from, end - from);
    }
    const std::string& screen() const { return _screen; }
    int fd() const { return _fd; }

private:
    pid_t _pid = -1;
    int _fd = -1;
    std::string _screen;
    std::size_t _seen = 0;
};

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// The widest row of a text on the screen, in letters, without the escape
// sequences a client adds.
std::size_t widest(const std::string& text) {
    std::string plain = std::regex_replace(text, std::regex("\x1b\\[[0-9;?]*[A-Za-z]|\r"), "");
    std::size_t most = 0, start = 0;
    for (std::size_t end; (end = plain.find('\n', start)) != std::string::npos; start = end + 1)
        most = std::max(most,
                        zanfir::Util::length(std::string_view(plain).substr(start, end - start)));
    return std::max(most, zanfir::Util::length(std::string_view(plain).substr(start)));
}

class RealClientsTest : public ::testing::TestWithParam<std::string> {
protected:
    // The client's command line for the server's port; none when the
    // client is not installed.
    std::vector<std::string> client(int port) const {
        std::string where = std::to_string(port);
        if (GetParam() == "telnet")
            return {"/usr/bin/telnet", "127.0.0.1", where};
        return {"/usr/games/tt++", "-e", "#session zanfir 127.0.0.1 " + where};
    }
    TempDir dir;
};

} // namespace

// A player logs in to a shared world of the bundled game and plays: each
// command is on the screen once, the password never, accented letters
// intact, Backspace erases, the text follows the window's width.
TEST_P(RealClientsTest, PlayingTheBundledGame) {
    std::string program = client(0)[0];
    if (::access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << program << " is not installed";
    std::string main = copyFixture("miniera", dir, true);
    int port = freePort();
    writeFile(main, "RemotePort=" + std::to_string(port) + "\n" +
                        *zanfir::Util::replace(readFile(main), "RemotePort=", "//RemotePort="));
    Process server({main, "-server", "-mud"});
    ASSERT_TRUE(TcpClient(port).connected());

    Pty player(client(port), 50);
    ::fcntl(player.fd(), F_SETFL, O_NONBLOCK);
    player.until(NAME);
    player.type("Anna\r");
    EXPECT_EQ(count(player.until(PASSWORD), "Anna"), 1);
    player.type("segreto\r");
    player.until(AGAIN);
    player.type("segreto\r");
    std::string intro = player.until(PROMPT);
    EXPECT_NE(intro.find("\xc3\x88 la sera del 3 dicembre."), std::string::npos) << intro;
    EXPECT_NE(intro.find("\xc2\xab"
                         "Al Piccone\xc2\xbb"),
              std::string::npos)
        << intro;
    EXPECT_LE(widest(intro), 49u) << intro;

    player.type("guardx\x7f"
                "a\r"); // DEL, as Backspace sends it
    std::string look = player.until(PROMPT);
    EXPECT_NE(look.find("Sei sulla piccola piazza"), std::string::npos) << look;
    player.type("prendi la lettera\r");
    player.until(PROMPT);
    player.resize(100);
    std::size_t width = 0; // the client tells the new width when it gets to it
    for (int tries = 0; tries < 10 && width <= 60; ++tries) {
        player.type("guarda\r");
        width = widest(player.until(PROMPT));
    }
    EXPECT_GT(width, 60u);

    // Another player's words come while she types: they are on her screen at
    // once, and the line she was typing reaches the server whole.
    TcpClient bruno(port);
    bruno.until(NAME);
    bruno.send("Bruno\r\nsegreto\r\nsegreto\r\n");
    bruno.until(PROMPT);
    player.type("guar");
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // her client shows it
    bruno.send("parla anna\r\nbuonasera!\r\n");
    player.until("Bruno dice << buonasera! >>.");
    player.until(PROMPT);
    player.type("da\r");
    std::string again = player.until(PROMPT);
    EXPECT_NE(again.find("Sei sulla piccola piazza"), std::string::npos) << again;

    EXPECT_EQ(count(player.screen(), "prendi la lettera"), 1);
    EXPECT_EQ(count(player.screen(), "segreto"), 0);
    EXPECT_EQ(count(player.screen(), "*"), 0);
    EXPECT_EQ(player.screen().find("Non conosco"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Clients, RealClientsTest, ::testing::Values("telnet", "tintin"),
                         [](const auto& info) { return info.param; });
