#include "adventure/ActionViews.h"

#include "adventure/StateKeys.h"

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

} // namespace

std::shared_ptr<Context> ActionViews::view(Context* root, std::int32_t id) {
    if (!root)
        return std::make_shared<Context>();
    auto global = root->get(StateKeys::GLOBAL);
    auto user = root->get(StateKeys::user(id));
    auto player = user ? std::get_if<std::shared_ptr<Context>>(&*user) : nullptr;
    if (!player)
        return build(global, user); // nothing worth keeping
    std::shared_ptr<Context> variables;
    if (auto held = (*player)->get(StateKeys::inUserVariables()))
        if (auto nested = std::get_if<std::shared_ptr<Context>>(&*held))
            variables = *nested;
    // Read before the copy: what is copied is at least as new.
    std::uint64_t theirs = variables ? variables->changes() : 0;
    if (_kept.size() < _depth)
        _kept.resize(_depth);
    Kept& kept = _kept[_depth - 1];
    if (kept.view && kept.view->changes() == kept.mine && kept.global == global &&
        kept.player == *player && kept.variables == variables && kept.theirs == theirs)
        return kept.view;
    kept = {build(global, user), std::move(global), *player, std::move(variables), 0, theirs};
    kept.mine = kept.view->changes();
    return kept.view;
}

} // namespace zanfir
