#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A command ran past a limit of the server (its steps, its output) and was
// stopped; the session goes on.
class CommandStoppedException : public Exception {
public:
    explicit CommandStoppedException(std::string limit,
                                     SourceLocation where = SourceLocation::current());

    const std::string& getLimit() const { return _limit; }

private:
    std::string _limit;
};

} // namespace zanfir
