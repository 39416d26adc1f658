#pragma once

#include "exception/Exception.h"

namespace zanfir {

class LocationNotFoundException : public Exception {
public:
    explicit LocationNotFoundException(std::string location,
                                       SourceLocation where = SourceLocation::current());
    const std::string& getLocation() const { return _location; }

private:
    std::string _location;
};

} // namespace zanfir
