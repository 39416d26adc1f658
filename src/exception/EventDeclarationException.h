#pragma once

#include "exception/Exception.h"

namespace zanfir {

class EventDeclarationException : public Exception {
public:
    explicit EventDeclarationException(std::string name,
                                       SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

} // namespace zanfir
