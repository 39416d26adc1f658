#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A login the engine cannot admit now; the message is told to the player,
// who may try another name.
class LoginRefusedException : public Exception {
public:
    explicit LoginRefusedException(std::string message,
                                   SourceLocation where = SourceLocation::current());
};

} // namespace zanfir
