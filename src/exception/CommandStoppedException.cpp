#include "exception/CommandStoppedException.h"

#include "T.h"

namespace zanfir {

CommandStoppedException::CommandStoppedException(std::string limit, SourceLocation where)
    : Exception(T::CommandStopped + limit + T::QuoteEnd, where), _limit(std::move(limit)) {}

} // namespace zanfir
