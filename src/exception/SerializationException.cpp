#include "exception/SerializationException.h"

namespace zanfir {

SerializationException::SerializationException(std::string detail, SourceLocation where)
    : Exception(detail, where), _detail(std::move(detail)) {}

} // namespace zanfir
