#pragma once

#include "exception/Exception.h"

namespace zanfir {

// The listener cannot accept connections.
class RemoteConnectionException : public Exception {
public:
    explicit RemoteConnectionException(std::string message,
                                       SourceLocation where = SourceLocation::current());
};

} // namespace zanfir
