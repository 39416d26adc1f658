#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"
#include "common/Config.h"
#include "common/Input.h"
#include "common/Output.h"
#include "common/Util.h"

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
    int fd[2] = {-1, -1};
};

class IOTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config::resetGlobalConfig();
        Util::setRowLength(0);
    }
    void TearDown() override { Config::resetGlobalConfig(); }
};

TEST_F(IOTest, OutputLineEndsColumnAndWrap) {
    Pair pair;
    Output crlf(pair.fd[0], true);
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

    Output lf(pair.fd[0], false);
    lf.println("già fatto");
    lf.write(std::string(100, 'w'));
    lf.flush();
    EXPECT_EQ(pair.received(), "già fatto\n" + std::string(100, 'w'));
    EXPECT_EQ(lf.column(), 0);

    test::TempDir dir;
    test::writeFile(dir.file("a.zanfa"), "Preformatted=true\nRowLength=10\n");
    Config::setGlobalConfig(std::make_shared<Config>(dir.path(), "a.zanfa"));
    Util::setRowLength(0);
    Output pre(pair.fd[0], true);
    pre.print("uno due tre quattro");
    pre.flush();
    EXPECT_EQ(pair.received(), "uno due tre quattro");
    EXPECT_EQ(pre.column(), 9); // 19 modulo the row length
    pre.print("a\nb\r\n");
    pre.flush();
    EXPECT_EQ(pair.received(), "a\r\nb\r\n"); // not wrapped, but its lines end alike
}

TEST_F(IOTest, WritingToAClosedPeerIsIgnored) {
    Pair pair;
    Output out(pair.fd[0], false);
    pair.closePeer();
    out.println("nobody listens");
    out.flush(); // no SIGPIPE, no exception
    SUCCEED();
}

TEST_F(IOTest, ConsoleReadsLineByLine) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string text = "nord\r\nprendi la lampada\n" + std::string(300, 'x') + "\n\nlast";
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fds[1]);
    Pair screen;
    Output out(screen.fd[0], false);
    Input in(fds[0], false, out, false);
    out.print("Cosa devo fare? ");
    EXPECT_EQ(out.column(), 16);
    EXPECT_EQ(in.readln(), "nord\r\n");
    EXPECT_EQ(out.column(), 0); // the player's Enter ended the row
    EXPECT_EQ(in.readln(), "prendi la lampada\n");
    EXPECT_EQ(in.readln(), std::string(256, 'x'));
    EXPECT_EQ(in.readln(), std::string(44, 'x') + "\n");
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
    Output out(pair.fd[0], true);
    Input in(pair.fd[0], true, out, true);
    pair.send("ab\bc\r\n");
    EXPECT_EQ(in.readln(), "ac\r\n");
    EXPECT_EQ(pair.received(), "ab\b \bc\r\r\n");

    pair.send("\b\bpw\r\n");
    EXPECT_EQ(in.readln(true), "pw\r\n");
    EXPECT_EQ(pair.received(), "***\r\n");

    // A UTF-8 letter is one star and one backspace; DEL is a character.
    pair.send("è\bé\x7f\n");
    EXPECT_EQ(in.readln(true), "é\x7f\n");
    EXPECT_EQ(pair.received(), "*\b \b**\r\n");

    pair.send("half");
    pair.closePeer();
    EXPECT_EQ(in.readln(), "half");
    EXPECT_FALSE(in.isAlive());
}

TEST_F(IOTest, RemoteWithoutEchoAndNulByte) {
    Pair pair;
    Output out(pair.fd[0], false);
    Input in(pair.fd[0], true, out, false);
    pair.send(std::string(5000, 'y') + "\n");
    EXPECT_EQ(in.readln(), std::string(4096, 'y'));
    EXPECT_EQ(in.readln(), std::string(904, 'y') + "\n");
    pair.send("nord\nsu");
    pair.send(std::string("d\0rest\n", 7));
    EXPECT_EQ(in.readln(), "nord\n");
    EXPECT_EQ(in.readln(), "sud");
    EXPECT_FALSE(in.isAlive());
    EXPECT_EQ(pair.received(), "");
}

} // namespace
