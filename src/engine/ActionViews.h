#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "state/Context.h"

namespace zanfir {

// The views of the state that one session's actions run in. A view shows
// "GLOBAL" and "USER" (the running player) of the session's root context,
// and copies of the player's variables at its top level, which the action
// may overwrite for itself alone. Building one for every action and event
// copies every variable, so a view is handed to the next action at the same
// nesting level again while its own top level, which contexts GLOBAL, the
// player and his variables are, and the names of the variables are what it
// was built from; the variables' values are copied into it again when they
// changed. A view is never handed to an action nested in one still running
// with it. Used by the session's thread only.
class ActionViews {
public:
    // Runs `work` with the view of the state of player `id` in `root`.
    template <class Work>
    auto with(const std::shared_ptr<Context>& root, std::int32_t id, Work&& work) {
        Level level(*this);
        return work(view(root, id));
    }
    // The context of player `id` in `root`, none when there is no context
    // there; read again only when something on its way has changed.
    std::shared_ptr<Context> player(const std::shared_ptr<Context>& root, std::int32_t id) {
        return root ? sources(root, id).player : nullptr;
    }

private:
    struct Level {
        explicit Level(ActionViews& views) : views(views) { ++views._depth; }
        ~Level() { --views._depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
        ActionViews& views;
    };
    // What a view is made of, read from the root, and the changes of the
    // contexts it was read from then: while their counts stay, so does it.
    struct Sources {
        std::shared_ptr<Context> root, users, player;
        std::int32_t id = 0;
        std::uint64_t root_changes = 0, users_changes = 0, player_changes = 0;
        std::optional<Context::Value> global, user;
        std::shared_ptr<Context> variables;
    };
    // A view and what it was built from.
    struct Kept {
        std::shared_ptr<Context> view;
        std::optional<Context::Value> global;
        std::shared_ptr<Context> player, variables;
        std::uint64_t mine = 0, theirs = 0; // the view's and the variables' changes
        std::uint64_t names = 0;            // the variables' name changes
    };

    std::shared_ptr<Context> view(const std::shared_ptr<Context>& root, std::int32_t id);
    // Reads the sources again unless nothing on their way has changed.
    const Sources& sources(const std::shared_ptr<Context>& root, std::int32_t id);

    Sources _sources;
    std::vector<Kept> _kept; // by nesting level, from 1
    std::size_t _depth = 0;
};

} // namespace zanfir
