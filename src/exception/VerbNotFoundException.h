#pragma once

#include "exception/Exception.h"

namespace zanfir {

class VerbNotFoundException : public Exception {
public:
    explicit VerbNotFoundException(std::string verb,
                                   std::source_location where = std::source_location::current());
    const std::string& getVerb() const { return _verb; }

private:
    std::string _verb;
};

} // namespace zanfir
