#pragma once

#include "exception/Exception.h"

namespace zanfir {

class MessageDeclarationException : public Exception {
public:
    explicit MessageDeclarationException(std::string name,
                                         SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

} // namespace zanfir
