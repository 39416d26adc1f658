#pragma once

#include "exception/Exception.h"

namespace zanfir {

class VerbNotFoundException : public Exception {
public:
    explicit VerbNotFoundException(std::string verb,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getVerb() const { return _verb; }

private:
    std::string _verb;
};

} // namespace zanfir
