#include "exception/ExpressionException.h"

#include "T.h"

namespace zanfir {

ExpressionException::ExpressionException(const std::string& reason, std::string expression,
                                         SourceLocation where)
    : Exception(reason + ": '" + expression + T::QuoteEnd, where),
      _expression(std::move(expression)) {}

} // namespace zanfir
