#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zanfir {

// The PROXY protocol header (versions 1 and 2) that a TLS proxy sends first
// on each connection it opens to the server: the address of the client it
// serves.
class ProxyHeader {
public:
    // The longest header read: v1's 107 bytes, v2's 16 and an IPv6 pair
    // with room for a few extensions.
    static constexpr std::size_t MOST = 536;

    enum class State { INCOMPLETE, INVALID, DONE };
    struct Parsed {
        State state = State::INCOMPLETE;
        std::size_t length = 0; // of the header, when DONE
        std::string client;     // empty: the proxy speaks for itself (LOCAL, UNKNOWN)
    };

    // Reads the header at the start of `bytes`.
    static Parsed parse(std::string_view bytes);

private:
    static Parsed text(std::string_view bytes);
    static Parsed binary(std::string_view bytes);
};

} // namespace zanfir
