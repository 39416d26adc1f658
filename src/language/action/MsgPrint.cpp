#include "language/action/MsgPrint.h"

#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "language/Description.h"
#include "state/Context.h"
#include "util/Util.h"

namespace zanfir {

bool MsgPrint::run(const Execution& now) {
    if (!_msg.empty()) {
        auto message = now.session.message(_msg);
        now.session.print(*message, isSilent(now)); // as silent as this print
        return true;
    }
    refreshVariables(now);
    for (const auto& piece : _strings) {
        if (Util::stringIsString(piece)) {
            print(now, piece.substr(1, piece.size() - 2));
        } else if (Util::stringIsInteger(piece)) {
            print(now, piece);
        } else if (auto value = now.context->get(piece)) {
            if (auto text = std::get_if<std::string>(&*value))
                print(now, *text);
            else if (auto number = std::get_if<std::int32_t>(&*value))
                print(now, std::to_string(*number));
        }
    }
    if (_linefeed)
        println(now);
    return true;
}

void MsgPrint::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
