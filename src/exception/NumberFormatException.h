#pragma once

#include "exception/Exception.h"

namespace zanfir {

class NumberFormatException : public Exception {
public:
    explicit NumberFormatException(std::string text,
                                   std::source_location where = std::source_location::current());
    const std::string& getText() const { return _text; }

private:
    std::string _text;
};

} // namespace zanfir
