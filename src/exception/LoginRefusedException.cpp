#include "exception/LoginRefusedException.h"

namespace zanfir {

LoginRefusedException::LoginRefusedException(std::string message, bool wrongPassword,
                                             SourceLocation where)
    : Exception(std::move(message), where), _wrong_password(wrongPassword) {}

} // namespace zanfir
