#include "engine/ActionViews.h"

#include "world/StateKeys.h"

namespace zanfir {

namespace {

std::shared_ptr<Context> build(const std::optional<Context::Value>& global,
                               const std::optional<Context::Value>& player) {
    auto view = std::make_shared<Context>();
    if (global)
        view->set(StateKeys::GLOBAL, *global);
    if (player)
        view->set(StateKeys::USERS, *player);
    view->appendFromNested(StateKeys::variables());
    return view;
}

std::shared_ptr<Context> contextIn(const std::optional<Context::Value>& value) {
    auto nested = value ? std::get_if<std::shared_ptr<Context>>(&*value) : nullptr;
    return nested ? *nested : nullptr;
}

} // namespace

// Each count is read before what is read from its context, so what is read
// is at least as new as the count: an equal count later means it still is.
const ActionViews::Sources& ActionViews::sources(const std::shared_ptr<Context>& root,
                                                 std::int32_t id) {
    Sources& read = _sources;
    if (read.root == root && read.id == id && read.users && read.player &&
        root->changes() == read.root_changes && read.users->changes() == read.users_changes &&
        read.player->changes() == read.player_changes)
        return read;
    read = {};
    read.root = root;
    read.id = id;
    read.root_changes = root->changes();
    read.global = root->get(StateKeys::GLOBAL);
    if ((read.users = contextIn(root->get(StateKeys::USERS))))
        read.users_changes = read.users->changes();
    read.user = root->get(StateKeys::user(id));
    if ((read.player = contextIn(read.user))) {
        read.player_changes = read.player->changes();
        read.variables = contextIn(read.player->get(StateKeys::inUserVariables()));
    }
    return read;
}

std::shared_ptr<Context> ActionViews::view(const std::shared_ptr<Context>& root, std::int32_t id) {
    if (!root)
        return std::make_shared<Context>();
    const Sources& read = sources(root, id);
    if (!read.player)
        return build(read.global, read.user); // nothing worth keeping
    const auto& variables = read.variables;
    // Read before the copy: what is copied is at least as new.
    std::uint64_t theirs = variables ? variables->changes() : 0;
    std::uint64_t names = variables ? variables->nameChanges() : 0;
    if (_kept.size() < _depth)
        _kept.resize(_depth);
    Kept& kept = _kept[_depth - 1];
    if (kept.view && kept.view->changes() == kept.mine && kept.global == read.global &&
        kept.player == read.player && kept.variables == variables) {
        if (kept.theirs == theirs)
            return kept.view;
        // The same names with other values: copied over the old ones, they
        // stand as a new build would have put them.
        if (kept.names == names) {
            kept.view->appendFromIfChanged(variables);
            if (variables->nameChanges() == names) {
                kept.theirs = theirs;
                kept.mine = kept.view->changes();
                return kept.view;
            }
        }
    }
    kept = {build(read.global, read.user), read.global, read.player, variables, 0, theirs, names};
    kept.mine = kept.view->changes();
    return kept.view;
}

} // namespace zanfir
