#include "exception/ConfigNotFoundException.h"

#include "T.h"

namespace zanfir {

ConfigNotFoundException::ConfigNotFoundException(std::string path, SourceLocation where)
    : Exception(T::ConfigNotFound + path + T::QuoteEnd, where), _path(std::move(path)) {}

} // namespace zanfir
