#include "exception/VerbNotFoundException.h"

#include "T.h"

namespace zanfir {

VerbNotFoundException::VerbNotFoundException(std::string verb, SourceLocation where)
    : Exception(T::VerbNotDefined + verb + T::QuoteEnd, where), _verb(std::move(verb)) {}

} // namespace zanfir
