#include "net/Telnet.h"

#include <algorithm>

namespace zanfir {

namespace {

// A subnegotiation longer than this is garbage: it is read to its end and
// dropped.
constexpr std::size_t MAX_SUB = 64;

} // namespace

Telnet::Telnet(Status status) : _status(std::move(status)) {}

std::string Telnet::say(unsigned char verb, unsigned char option) {
    return {static_cast<char>(IAC), static_cast<char>(verb), static_cast<char>(option)};
}

std::string Telnet::greeting() {
    _him[NAWS].asked = true;
    std::string out = say(DO, NAWS);
    if (_status) {
        _us[MSSP].asked = true;
        out += say(WILL, MSSP);
    }
    return out;
}

void Telnet::receive(std::string_view bytes, std::string& data, std::string& reply) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        switch (_state) {
        case State::DATA:
            if (c == IAC)
                _state = State::COMMAND;
            else
                data += static_cast<char>(c);
            break;
        case State::COMMAND:
            if (c == IAC) {
                data += static_cast<char>(IAC);
                _state = State::DATA;
            } else if (c == WILL || c == WONT || c == DO || c == DONT) {
                _verb = c;
                _state = State::OPTION;
            } else if (c == SB) {
                _sub.clear();
                _sub_too_long = false;
                _state = State::SUB;
            } else { // NOP, GA, AYT, a stray SE...: nothing to do
                _state = State::DATA;
            }
            break;
        case State::OPTION:
            _spoken = true;
            command(_verb, c, reply);
            _state = State::DATA;
            break;
        case State::SUB:
        case State::SUB_COMMAND:
            if (_state == State::SUB && c == IAC) {
                _state = State::SUB_COMMAND;
                break;
            }
            if (_state == State::SUB_COMMAND && c == SE) {
                _spoken = true;
                subnegotiated();
                _state = State::DATA;
                break;
            }
            if (_state == State::SUB_COMMAND && c != IAC) {
                // IAC and a command inside a subnegotiation: it was cut
                // short; the command counts.
                _state = State::COMMAND;
                --i;
                break;
            }
            if (_sub.size() < MAX_SUB)
                _sub += static_cast<char>(c);
            else
                _sub_too_long = true;
            _state = State::SUB;
            break;
        }
    }
}

void Telnet::command(unsigned char verb, unsigned char option, std::string& reply) {
    if (verb == WILL || verb == WONT) {
        Side& him = _him[option];
        bool wanted = option == NAWS;
        if (verb == WILL && !him.on && wanted) {
            him.on = true;
            if (!him.asked)
                reply += say(DO, option);
        } else if (verb == WILL && !him.on) {
            reply += say(DONT, option);
        } else if (verb == WONT && him.on) {
            him.on = false;
            if (!him.asked)
                reply += say(DONT, option);
        }
        him.asked = false;
        return;
    }
    Side& us = _us[option];
    if (verb == DO && !us.on && supported(option)) {
        us.on = true;
        if (!us.asked)
            reply += say(WILL, option);
        if (option == MSSP)
            reply += status();
    } else if (verb == DO && !us.on) {
        reply += say(WONT, option);
    } else if (verb == DONT && us.on) {
        us.on = false;
        if (!us.asked)
            reply += say(WONT, option);
    }
    us.asked = false;
}

bool Telnet::supported(unsigned char option) const {
    return (option == MSSP && _status) || (option == ECHO && _echo_wanted);
}

void Telnet::subnegotiated() {
    if (_sub_too_long || _sub.size() != 5 || static_cast<unsigned char>(_sub[0]) != NAWS)
        return;
    int width = static_cast<unsigned char>(_sub[1]) * 256 + static_cast<unsigned char>(_sub[2]);
    if (width > 0)
        _width = std::clamp(width, MIN_WIDTH, MAX_WIDTH);
}

std::string Telnet::hideInput() {
    if (!_spoken)
        return "";
    _echo_wanted = true;
    Side& echo = _us[ECHO];
    if (echo.on || echo.asked)
        return "";
    echo.asked = true;
    return say(WILL, ECHO);
}

std::string Telnet::showInput() {
    _echo_wanted = false;
    Side& echo = _us[ECHO];
    if (!echo.on && !echo.asked)
        return "";
    echo = Side{};
    return say(WONT, ECHO);
}

std::string Telnet::status() const {
    // Values cannot hold the bytes that delimit them.
    auto clean = [](std::string text) {
        std::erase_if(text, [](char c) {
            auto byte = static_cast<unsigned char>(c);
            return byte == 0 || byte == MSSP_VAR || byte == MSSP_VAL || byte == IAC;
        });
        return text;
    };
    std::string out = {static_cast<char>(IAC), static_cast<char>(SB), static_cast<char>(MSSP)};
    for (const auto& [name, value] : _status()) {
        out += static_cast<char>(MSSP_VAR) + clean(name);
        out += static_cast<char>(MSSP_VAL) + clean(value);
    }
    return out + static_cast<char>(IAC) + static_cast<char>(SE);
}

} // namespace zanfir
