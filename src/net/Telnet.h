#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/Terminal.h"

namespace zanfir {

// The server's side of the telnet protocol on one connection: the commands
// and option negotiation (RFC 854, 855) are taken out of what the client
// sends, leaving its data; the window size (NAWS, RFC 1073) is read; echo
// (RFC 857) is offered only while a password is typed; the status of the
// server (MSSP) is sent to a client that asks for it. Every other option is
// refused, and a request that changes nothing is never answered, so that no
// negotiation can loop. A client that never answers (nc) is no telnet
// client: it gets nothing but the greeting's few bytes.
class Telnet {
public:
    static constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251,
                                   SB = 250, SE = 240;
    static constexpr unsigned char ECHO = 1, NAWS = 31, MSSP = 70;
    static constexpr unsigned char MSSP_VAR = 1, MSSP_VAL = 2;
    static constexpr int MIN_WIDTH = Terminal::MIN_WIDTH, MAX_WIDTH = Terminal::MAX_WIDTH;

    // The variables of MSSP, with their values now.
    using Status = std::function<std::vector<std::pair<std::string, std::string>>()>;

    explicit Telnet(Status status = {});

    // What the server sends at connect: DO NAWS, and WILL MSSP when there is
    // a status to give.
    std::string greeting();
    // Takes bytes from the client: its data is appended to `data`, what the
    // server answers to `reply`. A sequence cut between two calls goes on in
    // the next.
    void receive(std::string_view bytes, std::string& data, std::string& reply);
    // Whether the client speaks telnet: it negotiated.
    bool spoken() const { return _spoken; }
    // The width of the client's window; 0 until it tells.
    int width() const { return _width; }
    // The bytes that ask a telnet client to stop echoing what is typed, and
    // to echo again; none for a client that does not speak telnet, or when
    // nothing changes.
    std::string hideInput();
    std::string showInput();

private:
    enum class State { DATA, COMMAND, OPTION, SUB, SUB_COMMAND };
    // One side of an option: whether it is on, and whether we asked for
    // that and wait for the answer.
    struct Side {
        bool on = false;
        bool asked = false;
    };

    void command(unsigned char verb, unsigned char option, std::string& reply);
    void subnegotiated();
    bool supported(unsigned char option) const;
    static std::string say(unsigned char verb, unsigned char option);
    std::string status() const;

    Status _status;
    State _state = State::DATA;
    unsigned char _verb = 0;
    std::string _sub; // the option and the bytes of a subnegotiation
    bool _sub_too_long = false;
    bool _spoken = false;
    bool _echo_wanted = false;
    int _width = 0;
    std::array<Side, 256> _us{};  // options the server does
    std::array<Side, 256> _him{}; // options the client does
};

} // namespace zanfir
