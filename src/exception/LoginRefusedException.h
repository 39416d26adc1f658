#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A login the engine cannot admit now; the message is told to the player,
// who may try another name.
class LoginRefusedException : public Exception {
public:
    explicit LoginRefusedException(std::string message, bool wrongPassword = false,
                                   SourceLocation where = SourceLocation::current());
    // Refused for a wrong password: a guess, maybe.
    bool wrongPassword() const { return _wrong_password; }

private:
    bool _wrong_password;
};

} // namespace zanfir
