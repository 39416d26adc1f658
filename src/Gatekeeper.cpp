#include "Gatekeeper.h"

#include "T.h"

namespace zanfir {

Gatekeeper::Gatekeeper(const Settings& settings)
    : _max_connections(settings.max_connections),
      _max_per_address(settings.max_connections_per_address) {}

std::optional<Gatekeeper::Refusal> Gatekeeper::connect(const std::string& address) {
    std::lock_guard guard(_lock);
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

} // namespace zanfir
