#include "language/action/VarInc.h"

#include "language/ActionVisitor.h"
#include "state/Context.h"
#include "world/StateKeys.h"

namespace zanfir {

bool VarInc::run(const Execution& now) {
    if (_variable.empty())
        return false;
    Context& ctx = *now.context;
    std::string path = StateKeys::variable(_variable);
    std::string before = traceBefore(now, _variable);
    auto value = ctx.get(path);
    if (!value) {
        ctx.setInt(path, _delta);
    } else if (auto number = std::get_if<std::int32_t>(&*value)) {
        // Wraps around at the ends of the range, never overflows.
        ctx.setInt(path, static_cast<std::int32_t>(static_cast<std::uint32_t>(*number) +
                                                   static_cast<std::uint32_t>(_delta)));
    } else if (auto flag = std::get_if<bool>(&*value)) {
        ctx.setBoolean(path, !*flag);
    }
    traceChange(now, _variable, before);
    return true;
}

void VarInc::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
