#include "exception/ActionDeclarationException.h"

#include "T.h"

namespace zanfir {

ActionDeclarationException::ActionDeclarationException(std::string when, SourceLocation where)
    : Exception(T::ActionErrorInDeclaration + when + T::QuoteEnd, where), _when(std::move(when)) {}

} // namespace zanfir
