#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "state/ContextJournal.h"

namespace zanfir {

// What a player's commands changed in their own world, so that the last ones
// can be taken back. Each command opens a level; a level holds, newest last,
// every change made since, with the value it replaced. Only the levels asked
// for are kept, and a level that outgrows MAX_CHANGES is given up (with the
// older ones: they can no longer be reached). One session's tree only.
class UndoLog : public ContextJournal {
public:
    static constexpr std::size_t MAX_CHANGES = 10000;

    // Keeps `levels` commands besides the one running.
    explicit UndoLog(std::size_t levels) : _levels(levels + 1) {}
    ~UndoLog() override;
    UndoLog(const UndoLog&) = delete;
    UndoLog& operator=(const UndoLog&) = delete;

    // Follows this tree from now on, forgetting what came before.
    void follow(std::shared_ptr<Context> root);
    // A command begins.
    void mark();
    // Puts the tree back as it was before the command that ran before this
    // one; false, with nothing changed, when there is no such command.
    bool undo();
    // Whether the running command can still be taken back.
    bool holdsRunning() const { return !_marks.empty(); }

    bool byPath() const override { return false; }
    void changedIn(Context& holder, const std::string& name, const Context::Value* now,
                   const Context::Value* before) override;

private:
    struct Change {
        Context* holder; // kept alive by the tree, or by the change that took it out
        std::string name;
        std::optional<Context::Value> before;
    };
    void revert(std::vector<Change>& level);

    const std::size_t _levels;
    std::deque<std::vector<Change>> _marks;
    std::shared_ptr<Context> _root;
    bool _reverting = false;
};

} // namespace zanfir
