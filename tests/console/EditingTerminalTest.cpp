#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <future>

#include "TestSupport.h"
#include "console/EditingTerminal.h"

using namespace zanfir;

namespace {

// An editing terminal on a pseudo-terminal; the test is the player at the
// other end.
class EditingTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TERM", "xterm", 1);
        ::setenv("EDITRC", "/dev/null", 1);
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    }
    void TearDown() override {
        ::close(master);
        ::close(slave);
    }

    // Reads a line once `prompt` has been written and the editor shows it,
    // typing `keys` then.
    std::string line(EditingTerminal& terminal, const std::string& prompt,
                     const std::string& keys) {
        terminal.write(prompt);
        auto read = std::async(std::launch::async, [&] { return terminal.readLine(false, 256); });
        shown(prompt);
        EXPECT_TRUE(test::editing(master));
        EXPECT_EQ(::write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "no line read";
            ::write(master, "\x04", 1);
            return read.get();
        }
        return read.get();
    }

    // What the terminal shows until `marker`.
    void shown(const std::string& marker) {
        screen.feed(test::readUntil(master, pending, marker, std::chrono::seconds(10)));
    }

    int master = -1, slave = -1;
    std::string pending;
    test::Screen screen;
};

TEST_F(EditingTerminalTest, HistoryKeepsTheLastLinesTypedThatAreNotBlank) {
    EditingTerminal terminal(slave, slave, false, 2);
    for (const char* typed : {"uno", "due", "tre"})
        EXPECT_EQ(line(terminal, "> ", std::string(typed) + "\r"), std::string(typed) + "\n");
    EXPECT_EQ(line(terminal, "> ", "  \r"), "  \n");
    EXPECT_EQ(line(terminal, "> ", "\x1b[A\x1b[A\x1b[A\r"), "due\n"); // "uno" is gone
    EXPECT_EQ(line(terminal, "> ", "\x1b[A\x1b[A\x1b[B\r"), "due\n"); // Down comes back
}

TEST_F(EditingTerminalTest, ARowPartlySentIsDrawnOnceAsThePrompt) {
    EditingTerminal terminal(slave, slave);
    terminal.write("Benvenuto.\nAttendi");
    terminal.flush();
    EXPECT_EQ(line(terminal, "... Cosa? ", "x\x01y\r"), "yx\n"); // Home, then y
    shown("\n");
    EXPECT_EQ(screen.rows(), (std::vector<std::string>{"Benvenuto.", "Attendi... Cosa? yx", ""}));
}

TEST_F(EditingTerminalTest, EndOfInputEndsTheTerminal) {
    EditingTerminal terminal(slave, slave);
    EXPECT_EQ(line(terminal, "Nome? ", "\x04"), "");
    EXPECT_FALSE(terminal.isAlive());
    EXPECT_EQ(terminal.readLine(false, 256), ""); // at once: nothing more is read
    terminal.flush();
    shown("\n"); // the next text starts a row of its own
    EXPECT_EQ(screen.rows(), (std::vector<std::string>{"Nome? ^D", ""}));
}

} // namespace
