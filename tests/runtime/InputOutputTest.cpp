#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "TestSupport.h"
#include "net/SocketTerminal.h"
#include "runtime/ConsoleTerminal.h"
#include "runtime/Input.h"
#include "runtime/Output.h"
#include "runtime/Settings.h"
#include "util/Util.h"

using namespace zanfir;

namespace {

// Both ends of a socket pair, closed at the end.
struct Pair {
    Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
    ~Pair() {
        for (int f : fd)
            if (f >= 0)
                close(f);
    }
    void send(const std::string& bytes) const {
        ASSERT_EQ(::write(fd[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void closePeer() {
        close(fd[1]);
        fd[1] = -1;
    }
    // Everything that arrived at the peer so far.
    std::string received() const { return test::drain(fd[1]); }
    // A terminal on this end, which it then owns.
    std::shared_ptr<SocketTerminal> terminal(bool echo, bool crlf, Settings settings = {}) {
        settings.remote_in_echo = echo;
        settings.remote_out_crlf = crlf;
        return std::make_shared<SocketTerminal>(std::exchange(fd[0], -1), settings);
    }
    int fd[2] = {-1, -1};
};

using IOTest = ::testing::Test;

TEST_F(IOTest, OutputLineEndsColumnAndWrap) {
    Pair pair;
    auto terminal = pair.terminal(false, true);
    Settings settings;
    Output crlf(terminal, true, settings);
    crlf.println("");
    EXPECT_EQ(pair.received(), ""); // held until flushed
    crlf.flush();
    EXPECT_EQ(pair.received(), "\r\n");
    EXPECT_EQ(crlf.column(), 0);

    crlf.print("Cosa devo fare? ");
    EXPECT_EQ(crlf.column(), 16);
    crlf.print(std::string(60, 'a') + " bbbbbbbbbb");
    crlf.flush();
    EXPECT_EQ(pair.received(), "Cosa devo fare? " + std::string(60, 'a') + "\r\nbbbbbbbbbb");
    EXPECT_EQ(crlf.column(), 10);

    Output lf(terminal, false, settings);
    lf.println("già fatto");
    lf.write(std::string(100, 'w'));
    lf.flush();
    EXPECT_EQ(pair.received(), "già fatto\n" + std::string(100, 'w'));
    EXPECT_EQ(lf.column(), 0);

    settings.preformatted = true;
    settings.row_length = 10;
    Output pre(terminal, true, settings);
    pre.print("uno due tre quattro");
    pre.flush();
    EXPECT_EQ(pair.received(), "uno due tre quattro");
    EXPECT_EQ(pre.column(), 9); // 19 modulo the row length
    pre.print("a\nb\r\n");
    pre.flush();
    EXPECT_EQ(pair.received(), "a\r\nb\r\n"); // not wrapped, but its lines end alike
}

// Output for a peer that left is dropped, with no signal (it would end
// the process) and no exception; the next read finds the end.
TEST_F(IOTest, WritingToAClosedPeerIsDropped) {
    Pair pair;
    auto terminal = pair.terminal(false, false);
    Output out(terminal, false, Settings());
    Input in(terminal, out);
    pair.closePeer();
    out.println("nobody listens");
    out.flush();
    EXPECT_EQ(in.readln(), "");
    EXPECT_FALSE(in.isAlive());
}

TEST_F(IOTest, ConsoleReadsLineByLine) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string text = "nord\r\nprendi la lampada\n" + std::string(300, 'x') + "\n" +
                       std::string(301, 'z') + "\ny\n\nlast";
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fds[1]);
    Pair screen;
    auto terminal = std::make_shared<ConsoleTerminal>(fds[0], screen.fd[0]);
    Output out(terminal, false, Settings());
    Input in(terminal, out, 300);
    out.print("Cosa devo fare? ");
    EXPECT_EQ(out.column(), 16);
    EXPECT_EQ(in.readln(), "nord\r\n");
    EXPECT_EQ(out.column(), 0); // the player's Enter ended the row
    EXPECT_EQ(in.readln(), "prendi la lampada\n");
    // A line is whole up to the limit; past it, none of it is read as a line.
    EXPECT_EQ(in.readln(), std::string(300, 'x') + "\n");
    EXPECT_FALSE(in.refused());
    out.print("Cosa devo fare? ");
    EXPECT_EQ(in.readln(), "");
    EXPECT_TRUE(in.refused());
    EXPECT_EQ(out.column(), 0);
    EXPECT_EQ(in.readln(), "y\n");
    EXPECT_FALSE(in.refused());
    EXPECT_EQ(in.readln(), "\n");
    EXPECT_TRUE(in.isAlive());
    EXPECT_EQ(in.readln(), "last");
    EXPECT_TRUE(in.isAlive());
    EXPECT_EQ(in.readln(), "");
    EXPECT_FALSE(in.isAlive());
    EXPECT_EQ(in.readln(), "");
    close(fds[0]);
}

TEST_F(IOTest, RemoteEchoBackspaceAndMasking) {
    Pair pair;
    auto terminal = pair.terminal(true, true);
    Output out(terminal, true, Settings());
    Input in(terminal, out, Input::MAX_LINE);
    pair.send("ab\bc\r\n");
    EXPECT_EQ(in.readln(), "ac\r\n");
    out.println("Fatto."); // the echo leaves with the answer
    out.flush();
    EXPECT_EQ(pair.received(), "ab\b \bc\r\r\nFatto.\r\n");

    pair.send("\b\bpw\r\n");
    EXPECT_EQ(in.readln(true), "pw\r\n");
    EXPECT_EQ(pair.received(), "***\r\n");

    // A UTF-8 letter is one star, erased whole by backspace or DEL.
    pair.send("è\bé\x7fò\n");
    EXPECT_EQ(in.readln(true), "ò\n");
    EXPECT_EQ(pair.received(), "*\b \b*\b \b*\r\n");

    pair.send("half");
    pair.closePeer();
    EXPECT_EQ(in.readln(), "half");
    EXPECT_FALSE(in.isAlive());
}

TEST_F(IOTest, RemoteWithoutEchoAndNulByte) {
    Pair pair;
    auto terminal = pair.terminal(false, false);
    Output out(terminal, false, Settings());
    Input in(terminal, out, Input::MAX_LINE);
    pair.send(std::string(5000, 'y') + "\n" + std::string(4096, 'w') + "\r\n");
    EXPECT_EQ(in.readln(), "");
    EXPECT_TRUE(in.refused());
    EXPECT_EQ(in.readln(), std::string(4096, 'w') + "\r\n");
    // A byte that begins no letter is one U+FFFD; the letters after it stay.
    // (0xFF would begin a telnet command.)
    pair.send("\xC3\xC3\x80 \xE2\x82 \xFE\xC0\x80\xF0\x9F\x98\x80\n");
    EXPECT_EQ(in.readln(), "\xEF\xBF\xBD\xC3\x80 \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                           "\xF0\x9F\x98\x80\n");
    // CR NUL ends a line, as telnet's character mode sends it; any other
    // NUL is dropped.
    pair.send("nord\nsu");
    pair.send(std::string("d\0\r\0est\r", 8));
    pair.send(std::string("\0", 1));
    EXPECT_EQ(in.readln(), "nord\n");
    EXPECT_EQ(in.readln(), "sud\r\n");
    EXPECT_EQ(in.readln(), "est\r\n");
    pair.closePeer();
    EXPECT_EQ(in.readln(), "");
    EXPECT_FALSE(in.isAlive());
    EXPECT_EQ(pair.received(), "");
}

TEST_F(IOTest, ClosingATerminalEndsTheReadThatWaits) {
    Pair pair;
    auto terminal = pair.terminal(true, false);
    Output out(terminal, false, Settings());
    Input in(terminal, out, Input::MAX_LINE);
    pair.send("nor");
    std::string line = "unread";
    std::thread reader([&] { line = in.readln(); });
    std::string echoed;
    ASSERT_TRUE(test::waitUntil([&] { return (echoed += pair.received()) == "nor"; })); // it waits
    terminal->close();
    terminal->close(); // twice is harmless
    reader.join();
    EXPECT_EQ(line, "nor");
    EXPECT_FALSE(in.isAlive());
    out.println("gone");
    out.flush(); // to nobody, and no error
}

// A client that reads slowly gets its output while the session waits for
// its input; one that does not read at all never holds the session for
// longer than the send timeout, and is cut off past the queue's limit.
TEST_F(IOTest, OutputWaitsInAQueueNotInTheSession) {
    Settings settings;
    settings.remote_send_timeout = std::chrono::milliseconds(50);
    settings.remote_out_queue = 16 * 1024 * 1024;
    Pair pair;
    auto terminal = pair.terminal(false, false, settings);
    Output out(terminal, false, settings);
    Input in(terminal, out, Input::MAX_LINE);
    const std::string block(4 * 1024 * 1024, 'x');
    auto start = std::chrono::steady_clock::now();
    out.write(block);
    out.flush(); // more than the socket takes: the rest stays queued
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    std::size_t received = 0;
    std::thread reader([&] {
        char chunk[65536];
        while (received < block.size()) {
            ssize_t n = ::read(pair.fd[1], chunk, sizeof chunk);
            if (n <= 0)
                return;
            received += static_cast<std::size_t>(n);
        }
        pair.send("ok\n");
    });
    EXPECT_EQ(in.readln(), "ok\n"); // sent the rest while it waited
    reader.join();
    EXPECT_EQ(received, block.size());

    settings.remote_out_queue = 256 * 1024;
    Pair deaf;
    auto closing = deaf.terminal(false, false, settings);
    Output lost(closing, false, settings);
    for (int i = 0; i < 200 && closing->isAlive(); ++i) {
        lost.write(std::string(64 * 1024, 'y'));
        lost.flush();
    }
    EXPECT_FALSE(closing->isAlive());
    EXPECT_EQ(Input(closing, lost, Input::MAX_LINE).readln(), "");
}

} // namespace
