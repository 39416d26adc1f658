#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A command of the action language that cannot be parsed.
class ActionSyntaxException : public Exception {
public:
    explicit ActionSyntaxException(std::string what,
                                   std::source_location where = std::source_location::current());
    ActionSyntaxException(std::string what, const std::string& reason,
                          std::source_location where = std::source_location::current());
    const std::string& getWhat() const { return _what; }

private:
    std::string _what;
};

} // namespace zanfir
