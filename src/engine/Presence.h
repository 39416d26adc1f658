#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Adventure;
class Location;

// Who comes and goes in a shared world: when the session's player moves,
// the other players in the place left and in the place reached are told,
// at once where their client can show it (see User::listen).
class Presence {
public:
    explicit Presence(Adventure& session) : _session(session) {}
    Presence(const Presence&) = delete;
    Presence& operator=(const Presence&) = delete;

    // The player went from `from` (none: from nowhere) to `to`, in a
    // direction (a Location bit; 0: by other means).
    void moved(const Location* from, const Location& to, int direction);

private:
    // Queues the line for every other player in the place.
    void tell(const Location& place, const std::string& text);

    Adventure& _session;
};

} // namespace zanfir
