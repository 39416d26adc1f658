#include <gtest/gtest.h>

#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "TestSupport.h"
#include "util/Util.h"

using namespace zanfir::test;

namespace {

// The interpreter on a pseudo-terminal of a given width, as a player's
// terminal emulator runs it.
class PtyGame {
public:
    PtyGame(const std::vector<std::string>& args, unsigned short columns) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = columns;
        _pid = ::forkpty(&_master, nullptr, nullptr, &size);
        if (_pid == 0) {
            ::setenv("TERM", "xterm", 1);
            ::setenv("EDITRC", "/dev/null", 1); // no bindings of the tester's own
            std::vector<char*> argv{const_cast<char*>(ZANFIR_BIN)};
            for (const auto& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(ZANFIR_BIN, argv.data());
            ::_exit(127);
        }
    }
    ~PtyGame() {
        if (_pid > 0) {
            ::kill(_pid, SIGKILL);
            ::waitpid(_pid, nullptr, 0);
        }
        if (_master >= 0)
            ::close(_master);
    }
    PtyGame(const PtyGame&) = delete;
    PtyGame& operator=(const PtyGame&) = delete;

    // What the game shows until `marker`, which it then shows too.
    std::string until(const std::string& marker) {
        std::string text = readUntil(_master, _pending, marker, std::chrono::seconds(10));
        screen.feed(text);
        return text;
    }
    // Types once the editor reads (it shows the prompt a moment before).
    void type(const std::string& keys) {
        ASSERT_TRUE(editing(_master));
        ASSERT_EQ(::write(_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void resize(unsigned short columns) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = columns;
        ::ioctl(_master, TIOCSWINSZ, &size);
    }
    // The exit status once the game has ended by itself (128 + the signal
    // that ended it, as a shell tells), -1 when it did not.
    int finish() {
        bool closed = false;
        screen.feed(readUntil(_master, _pending, "\x01never", std::chrono::seconds(10), &closed));
        int status = 0;
        if (!closed || ::waitpid(_pid, &status, 0) != _pid)
            return -1;
        _pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // The modes of the terminal now.
    termios modes() const {
        termios now{};
        ::tcgetattr(_master, &now);
        return now;
    }

    Screen screen;

private:
    int _pid = -1;
    int _master = -1;
    std::string _pending;
};

const std::string PROMPT = "Cosa devo fare? ";

class TerminalConsoleTest : public ::testing::Test {
protected:
    // A two-room adventure whose CANTA prints a long text.
    std::string adventure(const std::string& settings = "") {
        writeFile(dir.file("orto.zanfa"), settings + "[BEGINNING]\nINTRO=" + LONG +
                                              "\n"
                                              "LOCATION=CUCINA\n");
        writeFile(dir.file("orto.dictionary"),
                  "[IGNORE]\nARTICOLI=il, la\n[VERBS]\nCANTA=\n[ITEMS]\nMELA=pomo\n");
        writeFile(dir.file("orto.inventory"), "[MELA]\nDESCR=una mela\n");
        writeFile(dir.file("orto.map"), "[CUCINA]\nDESCR=in cucina\nNORTH=ORTO\nITEMS=mela\n"
                                        "[ORTO]\nDESCR=nell'orto\nSOUTH=CUCINA\n");
        writeFile(dir.file("orto.actionset"), "[ACTIONS]\n*:CANTA=" + LONG + "\n");
        return dir.file("orto.zanfa");
    }

    // The length of the longest row among those from `first` on.
    static std::size_t widest(const std::vector<std::string>& rows, std::size_t first = 0) {
        std::size_t most = 0;
        for (std::size_t i = first; i < rows.size(); ++i)
            most = std::max(most, rows[i].size());
        return most;
    }

    const std::string LONG = [] {
        std::string text;
        for (int i = 0; i < 40; ++i)
            text += "parole" + std::to_string(i % 10) + " ";
        return text + "fine.";
    }();
    TempDir dir;
};

TEST_F(TerminalConsoleTest, TheLineIsEditedWithHistoryAndCursorKeys) {
    PtyGame game({adventure()}, 80);
    game.until("nome? ");
    game.type("Anna\r");
    game.until(PROMPT);
    game.type("prendi la mela\r");
    EXPECT_NE(game.until(PROMPT).find("Fatto."), std::string::npos);
    game.type("nord\r");
    game.until(PROMPT);
    game.type("\x1b[A\x1b[A\r"); // Up twice: the command before the last
    EXPECT_NE(game.until(PROMPT).find("- Lo possiedi gia'."), std::string::npos);
    game.type("sd\x1b[Du\r"); // Left
    EXPECT_NE(game.until(PROMPT).find("Sei in cucina."), std::string::npos);
    // Home: the editor knows the prompt, which stays in front of the line.
    game.type("osa\x01"
              "c\r");
    EXPECT_NE(game.until(PROMPT).find("Possiedi:"), std::string::npos);
    const auto& rows = game.screen.rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), PROMPT + "cosa"), rows.end());
    for (const auto& row : rows)
        EXPECT_EQ(row.find("Non conosco"), std::string::npos) << row;

    // Ctrl-D on an empty line ends the game as the end of piped input does.
    game.type("\x04");
    EXPECT_EQ(game.finish(), 0);
    EXPECT_EQ(game.screen.rows().back(), "");
}

TEST_F(TerminalConsoleTest, CtrlCGivesTheTerminalItsModesBack) {
    PtyGame game({adventure()}, 80);
    game.until("nome? ");
    game.type("An\x03");
    EXPECT_EQ(game.finish(), 128 + SIGINT);
    termios modes = game.modes();
    EXPECT_TRUE((modes.c_lflag & ICANON) && (modes.c_lflag & ECHO));
}

TEST_F(TerminalConsoleTest, TextIsWrappedAtTheTerminalsWidth) {
    PtyGame narrow({adventure()}, 60);
    narrow.until("nome? ");
    std::size_t from = narrow.screen.rows().size(); // after the banner
    narrow.type("Anna\r");
    narrow.until(PROMPT);
    std::size_t intro = widest(narrow.screen.rows(), from);
    EXPECT_GT(intro, 50u);
    EXPECT_LE(intro, 59u);
    // A resize is followed from the next text on.
    narrow.resize(40);
    from = narrow.screen.rows().size();
    narrow.type("canta\r");
    narrow.until(PROMPT);
    std::size_t song = widest(narrow.screen.rows(), from);
    EXPECT_GT(song, 30u);
    EXPECT_LE(song, 39u);

    // A RowLength of the main file wins, narrower or wider.
    PtyGame fixed({adventure("RowLength=70\n")}, 60);
    fixed.until("nome? ");
    from = fixed.screen.rows().size();
    fixed.type("Anna\r");
    fixed.until(PROMPT);
    intro = widest(fixed.screen.rows(), from);
    EXPECT_GT(intro, 60u);
    EXPECT_LE(intro, 69u);

    // The bundled game sets no RowLength: it follows the terminal too.
    PtyGame mine({copyFixture("miniera", dir, true)}, 60);
    mine.until("nome? ");
    from = mine.screen.rows().size();
    mine.type("Anna\r");
    mine.until(PROMPT);
    std::size_t letters = 0;
    const auto rows = mine.screen.rows();
    for (std::size_t i = from; i < rows.size(); ++i)
        letters = std::max(letters, zanfir::Util::length(rows[i]));
    EXPECT_GT(letters, 50u);
    EXPECT_LE(letters, 59u);

    // Output that is no terminal keeps to 80 columns.
    RunResult piped = runZanfir({adventure()}, "Anna\n");
    std::size_t most = 0;
    for (const auto& line : lines(piped.out))
        most = std::max(most, line.size());
    EXPECT_GT(most, 70u);
    EXPECT_LE(most, 79u);
}

} // namespace
