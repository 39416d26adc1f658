#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ActionDeclarationException : public Exception {
public:
    explicit ActionDeclarationException(std::string when,
                                        SourceLocation where = SourceLocation::current());
    const std::string& getWhen() const { return _when; }

private:
    std::string _when;
};

} // namespace zanfir
