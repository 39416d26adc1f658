#include "exception/MessageDeclarationException.h"

#include "T.h"

namespace zanfir {

MessageDeclarationException::MessageDeclarationException(std::string name, SourceLocation where)
    : Exception(T::MessageErrorInDeclaration + name + T::QuoteEnd, where), _name(std::move(name)) {}

} // namespace zanfir
