#include "adventure/action/MsgPrint.h"

#include "adventure/ActionVisitor.h"
#include "adventure/Adventure.h"
#include "adventure/Description.h"
#include "common/Context.h"
#include "common/Util.h"

namespace zanfir {

bool MsgPrint::run() {
    if (!_msg.empty()) {
        auto message = adventure()->message(_msg);
        Loan silence(*message, std::nullopt, isSilent());
        print(*message);
        return true;
    }
    refreshVariables();
    for (const auto& piece : _strings) {
        if (Util::stringIsString(piece)) {
            print(piece.substr(1, piece.size() - 2));
        } else if (Util::stringIsInteger(piece)) {
            print(piece);
        } else if (auto value = context()->get(piece)) {
            if (auto text = std::get_if<std::string>(&*value))
                print(*text);
            else if (auto number = std::get_if<std::int32_t>(&*value))
                print(std::to_string(*number));
        }
    }
    if (_linefeed)
        println();
    return true;
}

void MsgPrint::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
