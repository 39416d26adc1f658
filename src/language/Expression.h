#pragma once

#include <memory>
#include <string>

#include "state/Context.h"

namespace zanfir {

// A boolean condition of the action language, parsed once and evaluated
// against a context each time it runs. "&&" and "||" bind alike and group
// to the right; the left operand's kind decides how the right one is
// converted before comparing.
class Expression {
public:
    static constexpr int LT = -10;
    static constexpr int LE = -5;
    static constexpr int EQ = 0;
    static constexpr int NE = 1;
    static constexpr int GE = 5;
    static constexpr int GT = 10;
    static constexpr int NOOP = 0;
    static constexpr int NOT = 1;
    static constexpr int AND = 2;
    static constexpr int OR = 3;
    static constexpr char OP_BRA = '(';
    static constexpr char OP_KET = ')';
    static constexpr const char* OP_AND = "&&";
    static constexpr const char* OP_OR = "||";
    static constexpr const char* OP_NOT = "!";
    static constexpr const char* OP_LT = "<";
    static constexpr const char* OP_LE = "<=";
    static constexpr const char* OP_EQ = "==";
    static constexpr const char* OP_NE = "!=";
    static constexpr const char* OP_GE = ">=";
    static constexpr const char* OP_GT = ">";

    // A node of the tree.
    class BooleanExpr {
    public:
        virtual ~BooleanExpr() = default;
        virtual bool evaluate(Context& context) const = 0;
    };
    class LogicalExpr;
    class RelationalExpr;
    class Operand;

    Expression();
    ~Expression();
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;

    // Throws ExpressionException for a syntax error.
    void parse(const std::string& text);
    // Throws ExpressionException for values that cannot be compared. The
    // context is this evaluation's own, so any thread may evaluate at once.
    bool evaluate(Context& context) const;
    // The value of a variable, or none.
    static std::optional<Context::Value> onValue(Context& context, const std::string& name);

private:
    std::unique_ptr<LogicalExpr> _main;
};

} // namespace zanfir
