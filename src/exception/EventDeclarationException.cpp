#include "exception/EventDeclarationException.h"

#include "T.h"

namespace zanfir {

EventDeclarationException::EventDeclarationException(std::string name, SourceLocation where)
    : Exception(T::EventErrorInDeclaration + name + T::QuoteEnd, where), _name(std::move(name)) {}

} // namespace zanfir
