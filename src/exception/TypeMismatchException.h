#pragma once

#include "exception/Exception.h"

namespace zanfir {

class TypeMismatchException : public Exception {
public:
    explicit TypeMismatchException(std::string name,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

} // namespace zanfir
