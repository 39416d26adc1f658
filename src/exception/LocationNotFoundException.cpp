#include "exception/LocationNotFoundException.h"

#include "T.h"

namespace zanfir {

LocationNotFoundException::LocationNotFoundException(std::string location, SourceLocation where)
    : Exception(T::LocationNotFound + location + T::QuoteEnd, where),
      _location(std::move(location)) {}

} // namespace zanfir
