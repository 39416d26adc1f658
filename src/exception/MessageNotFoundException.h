#pragma once

#include "exception/Exception.h"

namespace zanfir {

class MessageNotFoundException : public Exception {
public:
    explicit MessageNotFoundException(std::string message,
                                      SourceLocation where = SourceLocation::current());
    const std::string& getMessage() const { return _message; }

private:
    std::string _message;
};

} // namespace zanfir
