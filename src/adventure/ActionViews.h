#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/Context.h"

namespace zanfir {

// The views of the state that one session's actions run in. A view shows
// "GLOBAL" and "USER" (the running player) of the session's root context,
// and copies of the player's variables at its top level, which the action
// may overwrite for itself alone. Building one for every action and event
// copies every variable, so a view is handed to the next action at the same
// nesting level again while nothing it shows has changed since it was
// built: its own top level, which contexts GLOBAL, the player and his
// variables are, and the variables themselves. A view is never handed to
// an action nested in one still running with it. Used by the session's
// thread only.
class ActionViews {
public:
    // Runs `work` with the view of the state of player `id` in `root`.
    template <class Work>
    auto with(Context* root, std::int32_t id, Work&& work) {
        Level level(*this);
        return work(view(root, id));
    }

private:
    struct Level {
        explicit Level(ActionViews& views) : views(views) { ++views._depth; }
        ~Level() { --views._depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
        ActionViews& views;
    };
    // A view and what it was built from.
    struct Kept {
        std::shared_ptr<Context> view;
        std::optional<Context::Value> global;
        std::shared_ptr<Context> player, variables;
        std::uint64_t mine = 0, theirs = 0; // the view's and the variables' changes
    };

    std::shared_ptr<Context> view(Context* root, std::int32_t id);

    std::vector<Kept> _kept; // by nesting level, from 1
    std::size_t _depth = 0;
};

} // namespace zanfir
