#include "exception/NumberFormatException.h"

#include "T.h"

namespace zanfir {

NumberFormatException::NumberFormatException(std::string text, SourceLocation where)
    : Exception(T::InvalidNumber + text + T::QuoteEnd, where), _text(std::move(text)) {}

} // namespace zanfir
