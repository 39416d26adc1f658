#include "exception/ActionSyntaxException.h"

#include "T.h"

namespace zanfir {

ActionSyntaxException::ActionSyntaxException(std::string what, std::source_location where)
    : Exception(std::string(T::ActionErrorInCommand) + ": '" + what + T::QuoteEnd, where),
      _what(std::move(what)) {}

ActionSyntaxException::ActionSyntaxException(std::string what, const std::string& reason,
                                             std::source_location where)
    : Exception(std::string(T::ActionErrorInCommand) + " (" + reason + "): '" + what + T::QuoteEnd,
                where),
      _what(std::move(what)) {}

} // namespace zanfir
