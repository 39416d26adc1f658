#include "engine/UndoLog.h"

namespace zanfir {

UndoLog::~UndoLog() {
    if (_root)
        _root->attach(nullptr);
}

void UndoLog::follow(std::shared_ptr<Context> root) {
    if (_root)
        _root->attach(nullptr);
    _marks.clear();
    _root = std::move(root);
    _root->attach(this);
}

void UndoLog::mark() {
    _marks.emplace_back();
    if (_marks.size() > _levels)
        _marks.pop_front();
}

bool UndoLog::undo() {
    if (_marks.size() < 2)
        return false;
    revert(_marks.back()); // the running command's own changes first
    _marks.pop_back();
    revert(_marks.back());
    _marks.pop_back();
    return true;
}

void UndoLog::revert(std::vector<Change>& level) {
    _reverting = true;
    for (auto change = level.rbegin(); change != level.rend(); ++change) {
        if (change->before)
            change->holder->set(change->name, std::move(*change->before));
        else
            change->holder->remove(change->name);
    }
    _reverting = false;
}

void UndoLog::changedIn(Context& holder, const std::string& name, const Context::Value*,
                        const Context::Value* before) {
    if (_reverting || _marks.empty())
        return;
    auto& level = _marks.back();
    if (level.size() >= MAX_CHANGES) {
        _marks.clear(); // too much to take back: nothing before it can be reached
        return;
    }
    level.push_back(
        {&holder, name, before ? std::optional<Context::Value>(*before) : std::nullopt});
}

} // namespace zanfir
