#include <gtest/gtest.h>

#include "net/ProxyHeader.h"

using zanfir::ProxyHeader;
using State = ProxyHeader::State;

namespace {

std::string v2(unsigned char command, unsigned char family, const std::string& addresses) {
    std::string header("\r\n\r\n\0\r\nQUIT\n", 12);
    header += static_cast<char>(0x20 | command);
    header += static_cast<char>(family);
    header += static_cast<char>(addresses.size() >> 8);
    header += static_cast<char>(addresses.size() & 0xFF);
    return header + addresses;
}

} // namespace

// The text header: the client's address, the header's length (what
// follows is the client's), or a header refused.
TEST(ProxyHeaderTest, TextHeaders) {
    auto parsed = ProxyHeader::parse("PROXY TCP4 203.0.113.9 192.0.2.1 5555 23\r\nAnna\r\n");
    EXPECT_EQ(parsed.state, State::DONE);
    EXPECT_EQ(parsed.client, "203.0.113.9");
    EXPECT_EQ(parsed.length, 42u);
    parsed = ProxyHeader::parse("PROXY TCP6 2001:db8::0:1 2001:db8::2 5555 23\r\n");
    EXPECT_EQ(parsed.client, "2001:db8::1");
    parsed = ProxyHeader::parse("PROXY UNKNOWN\r\n");
    EXPECT_EQ(parsed.state, State::DONE);
    EXPECT_EQ(parsed.client, ""); // the proxy's own address stays
    EXPECT_EQ(ProxyHeader::parse("PRO").state, State::INCOMPLETE);
    EXPECT_EQ(ProxyHeader::parse("PROXY TCP4 203.0.113.9 192.0.2.1").state, State::INCOMPLETE);
    for (const char* bad : {"Anna\r\n", "PROXY TCP4 203.0.113.300 192.0.2.1 5555 23\r\n",
                            "PROXY TCP4 2001:db8::1 192.0.2.1 5555 23\r\n",
                            "PROXY UDP4 1.2.3.4 1.2.3.5 1 2\r\n", "PROXY TCP4 203.0.113.9\r\n"})
        EXPECT_EQ(ProxyHeader::parse(bad).state, State::INVALID) << bad;
    EXPECT_EQ(ProxyHeader::parse("PROXY TCP4 " + std::string(120, '1')).state, State::INVALID);
}

// The binary header: an address of either family, LOCAL (the proxy's own
// check), or a header refused.
TEST(ProxyHeaderTest, BinaryHeaders) {
    std::string four("\xCB\x00\x71\x09\xC0\x00\x02\x01\x15\xB3\x00\x17", 12);
    auto parsed = ProxyHeader::parse(v2(1, 0x11, four) + "Anna\r\n");
    EXPECT_EQ(parsed.state, State::DONE);
    EXPECT_EQ(parsed.client, "203.0.113.9");
    EXPECT_EQ(parsed.length, 28u);
    std::string six(36, '\0');
    six[0] = '\x20', six[1] = '\x01', six[2] = '\x0d', six[3] = '\xb8', six[15] = '\x05';
    EXPECT_EQ(ProxyHeader::parse(v2(1, 0x21, six)).client, "2001:db8::5");
    parsed = ProxyHeader::parse(v2(0, 0x00, ""));
    EXPECT_EQ(parsed.state, State::DONE);
    EXPECT_EQ(parsed.client, "");
    EXPECT_EQ(ProxyHeader::parse(v2(1, 0x11, four).substr(0, 20)).state, State::INCOMPLETE);
    EXPECT_EQ(ProxyHeader::parse(v2(1, 0x11, "\x01\x02")).state, State::INVALID); // too short
    std::string version3 = v2(1, 0x11, four);
    version3[12] = '\x31';
    EXPECT_EQ(ProxyHeader::parse(version3).state, State::INVALID);
    EXPECT_EQ(ProxyHeader::parse(v2(1, 0x11, std::string(600, 'x'))).state, State::INVALID);
}
