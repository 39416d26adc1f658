#include "exception/WordNotFoundException.h"

#include "T.h"

namespace zanfir {

WordNotFoundException::WordNotFoundException(std::string word, SourceLocation where)
    : Exception(T::WordNotDefined + word + T::QuoteEnd, where), _word(std::move(word)) {}

} // namespace zanfir
