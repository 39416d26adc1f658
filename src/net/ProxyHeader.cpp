#include "net/ProxyHeader.h"

#include <arpa/inet.h>

#include <algorithm>

#include "util/Util.h"

namespace zanfir {

namespace {

const std::string_view V1 = "PROXY ";
const std::string_view V2("\r\n\r\n\0\r\nQUIT\n", 12);
constexpr std::size_t V1_MOST = 107;

ProxyHeader::Parsed invalid() {
    ProxyHeader::Parsed parsed;
    parsed.state = ProxyHeader::State::INVALID;
    return parsed;
}

// The text of an address of the family, checked by the system's parser.
std::string address(int family, std::string_view text) {
    unsigned char binary[16];
    std::string copy(text);
    char canonical[INET6_ADDRSTRLEN] = "";
    if (::inet_pton(family, copy.c_str(), binary) != 1 ||
        !::inet_ntop(family, binary, canonical, sizeof canonical))
        return "";
    return canonical;
}

} // namespace

ProxyHeader::Parsed ProxyHeader::parse(std::string_view bytes) {
    for (auto signature : {V1, V2}) {
        auto part = std::min(bytes.size(), signature.size());
        if (bytes.substr(0, part) != signature.substr(0, part))
            continue;
        if (part < signature.size())
            return {};
        return signature == V1 ? text(bytes) : binary(bytes);
    }
    return invalid();
}

// "PROXY TCP4 192.0.2.1 198.51.100.2 5555 23\r\n", or "PROXY UNKNOWN ...\r\n".
ProxyHeader::Parsed ProxyHeader::text(std::string_view bytes) {
    auto end = bytes.find("\r\n");
    if (end == std::string_view::npos)
        return bytes.size() < V1_MOST ? ProxyHeader::Parsed{} : invalid();
    if (end + 2 > V1_MOST)
        return invalid();
    auto words = Util::split(std::string(bytes.substr(V1.size(), end - V1.size())));
    if (!words.empty() && words[0] == "UNKNOWN")
        return {State::DONE, end + 2, ""};
    if (words.size() != 5 || (words[0] != "TCP4" && words[0] != "TCP6"))
        return invalid();
    std::string client = address(words[0] == "TCP4" ? AF_INET : AF_INET6, words[1]);
    if (client.empty() || address(words[0] == "TCP4" ? AF_INET : AF_INET6, words[2]).empty())
        return invalid();
    return {State::DONE, end + 2, client};
}

// The signature, version and command, family, length, addresses.
ProxyHeader::Parsed ProxyHeader::binary(std::string_view bytes) {
    if (bytes.size() < 16)
        return {};
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t length = 16 + (static_cast<std::size_t>(byte(14)) << 8 | byte(15));
    if ((byte(12) >> 4) != 2 || (byte(12) & 0x0F) > 1 || length > MOST)
        return invalid();
    if (bytes.size() < length)
        return {};
    if ((byte(12) & 0x0F) == 0) // LOCAL: the proxy's own connection
        return {State::DONE, length, ""};
    int family = byte(13) >> 4;
    std::size_t size = family == 1 ? 4 : family == 2 ? 16 : 0;
    if (size == 0) // a family without an address of the internet
        return {State::DONE, length, ""};
    if (length < 16 + 2 * size + 4)
        return invalid();
    char text[INET6_ADDRSTRLEN] = "";
    ::inet_ntop(family == 1 ? AF_INET : AF_INET6, bytes.data() + 16, text, sizeof text);
    return {State::DONE, length, text};
}

} // namespace zanfir
