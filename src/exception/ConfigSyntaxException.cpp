#include "exception/ConfigSyntaxException.h"

#include "T.h"

namespace zanfir {

ConfigSyntaxException::ConfigSyntaxException(std::string line, SourceLocation where)
    : Exception(T::ConfigErrorInLine + line + T::QuoteEnd, where), _line(std::move(line)) {}

} // namespace zanfir
