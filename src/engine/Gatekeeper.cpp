#include "engine/Gatekeeper.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "T.h"
#include "util/Util.h"

namespace zanfir {

namespace {
// Addresses kept before the first sweep of those without a recent event.
constexpr std::size_t ADDRESSES_KEPT = 4096;

// A name counts whatever its case, and from its address's source.
std::string guessed(const std::string& source, const std::string& name) {
    return source + " " + Util::toUpper(name);
}
} // namespace

std::string Gatekeeper::source(const std::string& address) {
    in6_addr binary{};
    if (address.find(':') == std::string::npos ||
        ::inet_pton(AF_INET6, address.c_str(), &binary) != 1)
        return address;
    std::memset(&binary.s6_addr[8], 0, 8);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &binary, text, sizeof text);
    return std::string(text) + "/64";
}

Gatekeeper::Recent::Recent(Clock::duration window) : _window(window), _sweep_at(ADDRESSES_KEPT) {}

std::size_t Gatekeeper::Recent::count(const std::string& address, Clock::time_point now) {
    auto found = _events.find(address);
    if (found == _events.end())
        return 0;
    auto& moments = found->second;
    while (!moments.empty() && now - moments.front() >= _window)
        moments.pop_front();
    if (moments.empty()) {
        _events.erase(found);
        return 0;
    }
    return moments.size();
}

void Gatekeeper::Recent::add(const std::string& address, Clock::time_point now) {
    if (_events.size() >= _sweep_at && !_events.count(address)) {
        std::erase_if(_events,
                      [&](const auto& entry) { return now - entry.second.back() >= _window; });
        _sweep_at = std::max(ADDRESSES_KEPT, 2 * _events.size());
    }
    _events[address].push_back(now);
}

Gatekeeper::Gatekeeper(const Settings& settings, std::function<Clock::time_point()> now)
    : _now(std::move(now)), _max_connections(settings.max_connections),
      _max_per_address(settings.max_connections_per_address),
      _new_players_per_minute(settings.new_players_per_minute),
      _address_failures_limit(settings.address_lockout_failures) {}

std::optional<Gatekeeper::Refusal> Gatekeeper::connect(const std::string& address) {
    std::string key = source(address);
    std::lock_guard guard(_lock);
    if (_address_failures.count(key, _now()) >= _address_failures_limit)
        return Refusal{T::TooManyFailures, T::RefusedLockedOut};
    if (_connected >= _max_connections)
        return Refusal{T::ServerFull, T::RefusedFull};
    auto& from = _by_address[key];
    if (from >= _max_per_address)
        return Refusal{T::TooManyFromAddress, T::RefusedAddress};
    ++from;
    ++_connected;
    return std::nullopt;
}

void Gatekeeper::disconnect(const std::string& address) {
    std::lock_guard guard(_lock);
    auto found = _by_address.find(source(address));
    if (found == _by_address.end())
        return;
    if (--found->second == 0)
        _by_address.erase(found);
    --_connected;
}

bool Gatekeeper::lockedOut(const std::string& address) {
    std::lock_guard guard(_lock);
    return _address_failures.count(source(address), _now()) >= _address_failures_limit;
}

bool Gatekeeper::lockedOut(const std::string& address, const std::string& name) {
    std::string key = source(address);
    std::lock_guard guard(_lock);
    auto now = _now();
    return _failures.count(guessed(key, name), now) >= LOGIN_FAILURES ||
           _address_failures.count(key, now) >= _address_failures_limit;
}

void Gatekeeper::loginFailed(const std::string& address, const std::string& name) {
    std::string key = source(address);
    std::lock_guard guard(_lock);
    auto now = _now();
    _failures.add(guessed(key, name), now);
    _address_failures.add(key, now);
}

bool Gatekeeper::mayCreatePlayer(const std::string& address) {
    std::string key = source(address);
    std::lock_guard guard(_lock);
    auto now = _now();
    if (_new_players.count(key, now) >= _new_players_per_minute)
        return false;
    _new_players.add(key, now);
    return true;
}

bool Gatekeeper::newPlayersSpent(const std::string& address) {
    std::string key = source(address);
    std::lock_guard guard(_lock);
    return _new_players.count(key, _now()) >= _new_players_per_minute;
}

} // namespace zanfir
