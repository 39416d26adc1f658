#include "Gatekeeper.h"

#include "T.h"

namespace zanfir {

namespace {
// Past so many addresses, those without a recent event are forgotten.
constexpr std::size_t ADDRESSES_KEPT = 4096;
} // namespace

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
    if (_events.size() >= ADDRESSES_KEPT && !_events.count(address))
        std::erase_if(_events,
                      [&](const auto& entry) { return now - entry.second.back() >= _window; });
    _events[address].push_back(now);
}

Gatekeeper::Gatekeeper(const Settings& settings)
    : _max_connections(settings.max_connections),
      _max_per_address(settings.max_connections_per_address),
      _new_players_per_minute(settings.new_players_per_minute) {}

std::optional<Gatekeeper::Refusal> Gatekeeper::connect(const std::string& address) {
    std::lock_guard guard(_lock);
    if (_failures.count(address, Clock::now()) >= LOGIN_FAILURES)
        return Refusal{T::TooManyFailures, T::RefusedLockedOut};
    if (_connected >= _max_connections)
        return Refusal{T::ServerFull, T::RefusedFull};
    auto& from = _by_address[address];
    if (from >= _max_per_address)
        return Refusal{T::TooManyFromAddress, T::RefusedAddress};
    ++from;
    ++_connected;
    return std::nullopt;
}

void Gatekeeper::disconnect(const std::string& address) {
    std::lock_guard guard(_lock);
    auto found = _by_address.find(address);
    if (found == _by_address.end())
        return;
    if (--found->second == 0)
        _by_address.erase(found);
    --_connected;
}

bool Gatekeeper::lockedOut(const std::string& address) {
    std::lock_guard guard(_lock);
    return _failures.count(address, Clock::now()) >= LOGIN_FAILURES;
}

void Gatekeeper::loginFailed(const std::string& address) {
    std::lock_guard guard(_lock);
    _failures.add(address, Clock::now());
}

bool Gatekeeper::mayCreatePlayer(const std::string& address) {
    std::lock_guard guard(_lock);
    auto now = Clock::now();
    if (_new_players.count(address, now) >= _new_players_per_minute)
        return false;
    _new_players.add(address, now);
    return true;
}

} // namespace zanfir
