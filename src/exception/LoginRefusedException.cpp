#include "exception/LoginRefusedException.h"

namespace zanfir {

LoginRefusedException::LoginRefusedException(std::string message, std::source_location where)
    : Exception(std::move(message), where) {}

} // namespace zanfir
