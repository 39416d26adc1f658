#include "exception/TypeMismatchException.h"

#include "T.h"

namespace zanfir {

TypeMismatchException::TypeMismatchException(std::string name, SourceLocation where)
    : Exception(T::TypeMismatch + name + T::QuoteEnd, where), _name(std::move(name)) {}

} // namespace zanfir
