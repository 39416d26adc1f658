#include "exception/LoginRefusedException.h"

namespace zanfir {

LoginRefusedException::LoginRefusedException(std::string message, SourceLocation where)
    : Exception(std::move(message), where) {}

} // namespace zanfir
