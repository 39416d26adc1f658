#pragma once

#include "exception/Exception.h"

namespace zanfir {

// An expression that cannot be parsed or evaluated.
class ExpressionException : public Exception {
public:
    ExpressionException(const std::string& reason, std::string expression,
                        SourceLocation where = SourceLocation::current());
    const std::string& getExpression() const { return _expression; }

private:
    std::string _expression;
};

} // namespace zanfir
