#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zanfir {

class Context;

// Which players each player has seen. Kept for every pair, the flags would
// grow a shared world's state with the square of its players; so a player's
// flags for other players are one text, USER.<id>.SEEN.PLAYERS: a set of
// player numbers, one bit each, in base64. A read of USER.<id>.SEEN.ITEMS.<player>
// is answered from it, as for any item.
class SeenPlayers {
public:
    SeenPlayers();

    // The player of that item name (upper-cased) has that number.
    void known(const std::string& item, std::int32_t id);
    // From now on reads of the seen flags of `viewer` (a context in `root`)
    // answer for the players known here.
    void answerFor(const std::shared_ptr<Context>& root, std::int32_t viewer);

    static bool has(Context& root, std::int32_t viewer, std::int32_t seen);
    // Marks them seen with one write, none when all were seen already.
    static void add(Context& root, std::int32_t viewer, const std::vector<std::int32_t>& seen);
    static void remove(Context& root, std::int32_t viewer, std::int32_t seen);

private:
    struct Names;
    std::shared_ptr<Names> _names;
};

} // namespace zanfir
