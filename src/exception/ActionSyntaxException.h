#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A command of the action language that cannot be parsed.
class ActionSyntaxException : public Exception {
public:
    explicit ActionSyntaxException(std::string what,
                                   SourceLocation where = SourceLocation::current());
    ActionSyntaxException(std::string what, const std::string& reason,
                          SourceLocation where = SourceLocation::current());
    const std::string& getWhat() const { return _what; }

private:
    std::string _what;
};

} // namespace zanfir
