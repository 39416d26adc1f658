#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zanfir {

class Context;
class Item;
class World;

// What the scenes of a shared world show at each place: the items there and
// not hidden, players among them. Every player in a place asks for the
// same list after each command, and it changes far less often: it is kept
// and taken again only when the place's version in the index of the items
// by place (who came, who left, who hid) or the world's items (players log
// in and out) changed since.
class Scenes {
public:
    using Items = std::vector<std::shared_ptr<Item>>;

    explicit Scenes(const World& world) : _world(world) {}

    // Indexes the items' state under GLOBAL.ITEMS of a root context by place
    // with the hidden flag, so that its scenes are kept; does nothing when
    // the root holds no items' state.
    static void indexItems(Context& root);

    // The items at `place` in `items` (the items' state, one context each,
    // holding their LOCATION and HIDDEN), not hidden, in the world's order.
    // Kept only when `items` is indexed by place with the hidden flag.
    std::shared_ptr<const Items> shown(const Context& items, const std::string& place);

    // The lines of the players of a list, one after another, as one kind of
    // terminal shows them: each viewer is sent the text but his own line.
    struct PlayerLines {
        std::string text;
        std::vector<std::int32_t> ids; // the players, in the order of their lines
        std::vector<std::size_t> ends; // where each one's line ends in the text
    };
    // What makes the line of one player (a visible User) of the list, laid
    // out; none when it cannot be made once for every viewer.
    using Line = std::function<std::optional<std::string>(const Item&)>;
    // The player lines of `list`, kept with it while it is the list kept for
    // `place`, for each `layout` (what decides how the bytes are laid out);
    // none when `line` makes none for some player, or the list is not kept,
    // or at the first look for the layout: a list that changes before a
    // second look (a crowd logging in) is not worth laying out.
    std::shared_ptr<const PlayerLines> playerLines(const std::string& place,
                                                   const std::shared_ptr<const Items>& list,
                                                   const std::string& layout, const Line& line);

private:
    struct Laid {
        int looks = 0; // before the lines were made
        bool made = false;
        std::shared_ptr<const PlayerLines> lines; // null when made: some line is each viewer's
    };
    struct Kept {
        std::uint64_t version = 0;
        std::uint64_t generation = 0;
        std::shared_ptr<const Items> items;
        std::unordered_map<std::string, Laid> lines; // by layout
    };

    const World& _world;
    std::mutex _lock;
    std::unordered_map<std::string, Kept> _kept;
};

} // namespace zanfir
