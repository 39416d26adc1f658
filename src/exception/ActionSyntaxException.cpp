#include "exception/ActionSyntaxException.h"

#include "T.h"

namespace zanfir {

ActionSyntaxException::ActionSyntaxException(std::string what, SourceLocation where)
    : Exception(std::string(T::ActionErrorInCommand) + ": '" + what + T::QuoteEnd, where),
      _what(std::move(what)) {}

ActionSyntaxException::ActionSyntaxException(std::string what, const std::string& reason,
                                             SourceLocation where)
    : Exception(std::string(T::ActionErrorInCommand) + " (" + reason + "): '" + what + T::QuoteEnd,
                where),
      _what(std::move(what)) {}

} // namespace zanfir
