#pragma once

#include "exception/Exception.h"

namespace zanfir {

class NumberFormatException : public Exception {
public:
    explicit NumberFormatException(std::string text,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getText() const { return _text; }

private:
    std::string _text;
};

} // namespace zanfir
