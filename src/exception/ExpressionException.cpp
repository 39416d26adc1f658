#include "exception/ExpressionException.h"

#include "T.h"

namespace zanfir {

ExpressionException::ExpressionException(const std::string& reason, std::string expression,
                                         std::source_location where)
    : Exception(reason + ": '" + expression + T::QuoteEnd, where),
      _expression(std::move(expression)) {}

} // namespace zanfir
