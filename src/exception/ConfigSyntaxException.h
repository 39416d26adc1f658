#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ConfigSyntaxException : public Exception {
public:
    explicit ConfigSyntaxException(std::string line,
                                   std::source_location where = std::source_location::current());
    const std::string& getLine() const { return _line; }

private:
    std::string _line;
};

} // namespace zanfir
