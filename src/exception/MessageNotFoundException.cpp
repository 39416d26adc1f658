#include "exception/MessageNotFoundException.h"

#include "T.h"

namespace zanfir {

MessageNotFoundException::MessageNotFoundException(std::string message, SourceLocation where)
    : Exception(T::MessageNotFound + message + T::QuoteEnd, where), _message(std::move(message)) {}

} // namespace zanfir
