#pragma once

#include "exception/Exception.h"

namespace zanfir {

class LocationNotFoundException : public Exception {
public:
    explicit LocationNotFoundException(
        std::string location, std::source_location where = std::source_location::current());
    const std::string& getLocation() const { return _location; }

private:
    std::string _location;
};

} // namespace zanfir
