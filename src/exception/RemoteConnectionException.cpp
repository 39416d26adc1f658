#include "exception/RemoteConnectionException.h"

namespace zanfir {

RemoteConnectionException::RemoteConnectionException(std::string message,
                                                     std::source_location where)
    : Exception(std::move(message), where) {}

} // namespace zanfir
