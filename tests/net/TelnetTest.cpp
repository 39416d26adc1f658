#include <gtest/gtest.h>

#include "net/Telnet.h"

using zanfir::Telnet;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values)
        out += static_cast<char>(value);
    return out;
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
              NOP = 241;
constexpr int ECHO = 1, TTYPE = 24, NAWS = 31, MSSP = 70;

Telnet::Status status() {
    return [] {
        return std::vector<std::pair<std::string, std::string>>{{"NAME", "La torre\x01"},
                                                                {"PLAYERS", "2"}};
    };
}

// What the client's bytes give: the data and the server's answer.
struct Heard {
    std::string data, reply;
};

Heard hear(Telnet& telnet, const std::string& from) {
    Heard heard;
    telnet.receive(from, heard.data, heard.reply);
    return heard;
}

} // namespace

// A client like telnet or TinTin++: it agrees to NAWS and tells its size,
// asks for MSSP, and types between commands.
TEST(TelnetTest, AClientThatNegotiates) {
    Telnet telnet(status());
    EXPECT_EQ(telnet.greeting(), bytes({IAC, DO, NAWS, IAC, WILL, MSSP}));
    EXPECT_FALSE(telnet.spoken());
    EXPECT_EQ(telnet.width(), 0);

    std::string from = bytes({IAC, WILL, NAWS, IAC, SB, NAWS, 0, 100, 0, 30, IAC, SE}) + "An" +
                       bytes({IAC, NOP}) + "na\r\n" + bytes({IAC, DO, MSSP});
    Heard heard = hear(telnet, from);
    EXPECT_TRUE(telnet.spoken());
    EXPECT_EQ(telnet.width(), 100);
    EXPECT_EQ(heard.data, "Anna\r\n");
    // The answers to our own requests are not answered; MSSP follows.
    EXPECT_EQ(heard.reply, bytes({IAC, SB, MSSP, 1}) + "NAME" + bytes({2}) + "La torre" +
                               bytes({1}) + "PLAYERS" + bytes({2}) + "2" + bytes({IAC, SE}));

    // The same bytes cut anywhere give the same.
    Telnet piecewise(status());
    piecewise.greeting();
    Heard pieces;
    for (char c : from)
        piecewise.receive(std::string(1, c), pieces.data, pieces.reply);
    EXPECT_EQ(pieces.data, heard.data);
    EXPECT_EQ(pieces.reply, heard.reply);
    EXPECT_EQ(piecewise.width(), 100);

    // A resize, a width with an escaped 255, widths out of range.
    EXPECT_EQ(hear(telnet, bytes({IAC, SB, NAWS, 0, 255, 255, 0, 30, IAC, SE})).reply, "");
    EXPECT_EQ(telnet.width(), 255);
    hear(telnet, bytes({IAC, SB, NAWS, 0, 5, 0, 30, IAC, SE}));
    EXPECT_EQ(telnet.width(), Telnet::MIN_WIDTH);
    hear(telnet, bytes({IAC, SB, NAWS, 0, 0, 0, 30, IAC, SE})); // unknown: kept
    EXPECT_EQ(telnet.width(), Telnet::MIN_WIDTH);
    hear(telnet, bytes({IAC, SB, NAWS, 200, 0, 0, 30, IAC, SE}));
    EXPECT_EQ(telnet.width(), Telnet::MAX_WIDTH);

    // IAC IAC is the byte 255 in the data.
    EXPECT_EQ(hear(telnet, "a" + bytes({IAC, IAC}) + "b").data, "a\xff"
                                                                "b");
}

// The password prompt: the client is asked to stop echoing, then to echo
// again; a client that never negotiated is asked nothing.
TEST(TelnetTest, EchoOnlyWhileHidden) {
    Telnet raw(status());
    raw.greeting();
    EXPECT_EQ(raw.hideInput(), "");
    EXPECT_EQ(raw.showInput(), "");

    Telnet telnet(status());
    telnet.greeting();
    hear(telnet, bytes({IAC, WILL, NAWS, IAC, DONT, MSSP}));
    EXPECT_EQ(telnet.hideInput(), bytes({IAC, WILL, ECHO}));
    EXPECT_EQ(telnet.hideInput(), ""); // asked already
    EXPECT_EQ(hear(telnet, bytes({IAC, DO, ECHO})).reply, "");
    EXPECT_EQ(telnet.showInput(), bytes({IAC, WONT, ECHO}));
    EXPECT_EQ(hear(telnet, bytes({IAC, DONT, ECHO})).reply, "");
    // Asked unbidden, the server will not echo.
    EXPECT_EQ(hear(telnet, bytes({IAC, DO, ECHO})).reply, bytes({IAC, WONT, ECHO}));
}

// Options the server does not have are refused; a refusal of ours is not
// answered; garbage leaves the data intact; no exchange can go on for ever.
TEST(TelnetTest, RefusalsAndGarbage) {
    Telnet telnet(status());
    telnet.greeting();
    Heard heard = hear(telnet, bytes({IAC, WILL, TTYPE, IAC, DO, TTYPE, IAC, WONT, NAWS, IAC, DONT,
                                      MSSP, IAC, DONT, TTYPE}));
    EXPECT_EQ(heard.reply, bytes({IAC, DONT, TTYPE, IAC, WONT, TTYPE}));
    EXPECT_TRUE(telnet.spoken());

    // A subnegotiation too long for any option is dropped whole; one cut
    // short by a command lets the command count.
    std::string longOne = bytes({IAC, SB, NAWS}) + std::string(500, 'x') + bytes({IAC, SE});
    heard =
        hear(telnet, longOne + "nord\r\n" + bytes({IAC, SB, NAWS, 0, IAC, WILL, TTYPE}) + "sud");
    EXPECT_EQ(heard.data, "nord\r\nsud");
    EXPECT_EQ(heard.reply, bytes({IAC, DONT, TTYPE}));
    EXPECT_EQ(telnet.width(), 0);

    // Two servers facing each other (what a client echoing everything
    // back does): the exchange dies out.
    Telnet left(status()), right(status());
    std::string toRight = left.greeting(), toLeft = right.greeting();
    int rounds = 0;
    while ((!toRight.empty() || !toLeft.empty()) && rounds < 10) {
        Heard atRight = hear(right, toRight), atLeft = hear(left, toLeft);
        toRight = atLeft.reply;
        toLeft = atRight.reply;
        ++rounds;
    }
    EXPECT_LT(rounds, 4);
    // And one that echoes every byte back.
    Telnet echoed(status());
    std::string back = echoed.greeting();
    for (rounds = 0; !back.empty() && rounds < 10; ++rounds)
        back = hear(echoed, back).reply;
    EXPECT_LT(rounds, 4);
}

// Every request asked twice: the second changes nothing, so an option that
// was agreed is not answered again, and one refused is refused again
// (a refusal is always owed); a WONT or DONT for an option that is off is
// never answered. So no two peers can keep each other talking.
TEST(TelnetTest, EveryOptionAskedTwice) {
    struct Case {
        int verb, option;
        std::string first, second;
    };
    const std::string mssp = bytes({IAC, SB, MSSP, 1}) + "NAME" + bytes({2}) + "La torre" +
                             bytes({1}) + "PLAYERS" + bytes({2}) + "2" + bytes({IAC, SE});
    const std::vector<Case> cases = {
        {WILL, NAWS, "", ""}, // asked by the greeting
        {WONT, NAWS, "", ""}, // it was never on
        {DO, MSSP, mssp, ""}, // offered by the greeting
        {DONT, MSSP, "", ""}, // never on
        {DO, ECHO, "", ""},   // offered for a password
        {WILL, TTYPE, bytes({IAC, DONT, TTYPE}), bytes({IAC, DONT, TTYPE})},
        {DO, TTYPE, bytes({IAC, WONT, TTYPE}), bytes({IAC, WONT, TTYPE})},
        {WONT, TTYPE, "", ""},
        {DONT, TTYPE, "", ""},
        {WILL, ECHO, bytes({IAC, DONT, ECHO}), bytes({IAC, DONT, ECHO})},
        {DO, 200, bytes({IAC, WONT, 200}), bytes({IAC, WONT, 200})},
    };
    for (const auto& c : cases) {
        Telnet telnet(status());
        telnet.greeting();
        hear(telnet, bytes({IAC, DONT, 201})); // it speaks telnet
        if (c.option == ECHO && c.verb == DO)
            telnet.hideInput();
        std::string what = std::to_string(c.verb) + " " + std::to_string(c.option);
        EXPECT_EQ(hear(telnet, bytes({IAC, c.verb, c.option})).reply, c.first) << what;
        EXPECT_EQ(hear(telnet, bytes({IAC, c.verb, c.option})).reply, c.second) << what;
    }

    // The options that are on, asked for again all at once.
    Telnet telnet(status());
    telnet.greeting();
    hear(telnet, bytes({IAC, WILL, NAWS, IAC, DO, MSSP}));
    telnet.hideInput();
    hear(telnet, bytes({IAC, DO, ECHO}));
    EXPECT_EQ(hear(telnet, bytes({IAC, WILL, NAWS, IAC, DO, MSSP, IAC, DO, ECHO})).reply, "");
    // And once off, off again.
    EXPECT_EQ(hear(telnet, bytes({IAC, WONT, NAWS, IAC, DONT, MSSP})).reply,
              bytes({IAC, DONT, NAWS, IAC, WONT, MSSP}));
    EXPECT_EQ(hear(telnet, bytes({IAC, WONT, NAWS, IAC, DONT, MSSP})).reply, "");
}
