#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ConfigSyntaxException : public Exception {
public:
    explicit ConfigSyntaxException(std::string line,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getLine() const { return _line; }

private:
    std::string _line;
};

} // namespace zanfir
