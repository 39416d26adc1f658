#include "exception/RemoteConnectionException.h"

namespace zanfir {

RemoteConnectionException::RemoteConnectionException(std::string message, SourceLocation where)
    : Exception(std::move(message), where) {}

} // namespace zanfir
