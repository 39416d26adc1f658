#include "language/Expression.h"

#include <cstring>

#include "T.h"
#include "runtime/Errors.h"
#include "util/Util.h"

namespace zanfir {

namespace {

// The ")" that closes the "(" at `from`, or npos.
std::size_t searchClosingBracket(const std::string& text, std::size_t from) {
    int depth = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == Expression::OP_BRA)
            ++depth;
        else if (text[i] == Expression::OP_KET && --depth == 0)
            return i;
    }
    return std::string::npos;
}

bool isRelational(const std::string& text) {
    if (text.find_first_of("()") != std::string::npos ||
        text.find(Expression::OP_AND) != std::string::npos ||
        text.find(Expression::OP_OR) != std::string::npos)
        return false;
    auto ne = text.find(Expression::OP_NE);
    for (std::size_t bang = text.find('!'); bang != std::string::npos;
         bang = text.find('!', bang + 1))
        if (bang != ne)
            return false;
    return true;
}

// -1, 0 or 1 as a is below, equal to or above b.
template <class T>
int compare(const T& a, const T& b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

} // namespace

class Expression::Operand {
public:
    explicit Operand(const std::string& text) : _value_or_ref(Util::trim(text)) {
        const std::string& t = _value_or_ref;
        if (t.empty())
            throw ExpressionException(T::SyntaxErrorInRelationExpression, t);
        _constant = true;
        if (Util::stringIsString(t))
            _value = t.substr(1, t.size() - 2);
        else if (Util::stringIsBoolean(t))
            _value = Util::equalsIgnoreCase(t, "TRUE");
        else if (Util::stringIsInteger(t))
            _value = Util::parseInt(t);
        else {
            _constant = false;
            _ref = t;
        }
    }

    Context::Value value(Context& context) const {
        if (_constant)
            return _value;
        return onValue(context, _ref).value_or(std::string());
    }

    // The value converted to the kind of `like`.
    Context::Value value(Context& context, const Context::Value& like) const {
        Context::Value v = value(context);
        auto fail = [&](const char* reason) -> Context::Value {
            throw ExpressionException(reason, _value_or_ref);
        };
        if (std::holds_alternative<std::string>(like)) {
            if (auto s = std::get_if<std::string>(&v))
                return *s;
            if (auto i = std::get_if<std::int32_t>(&v))
                return std::to_string(*i);
            return fail(T::CantConvertToStringDataType);
        }
        if (std::holds_alternative<std::int32_t>(like)) {
            if (auto i = std::get_if<std::int32_t>(&v))
                return *i;
            if (auto b = std::get_if<bool>(&v))
                return static_cast<std::int32_t>(*b ? 1 : 0);
            return fail(T::CantConvertToIntegerDataType);
        }
        if (std::holds_alternative<bool>(like)) {
            if (auto s = std::get_if<std::string>(&v))
                return Util::equalsIgnoreCase(*s, "TRUE");
            if (auto i = std::get_if<std::int32_t>(&v))
                return *i != 0;
            if (auto b = std::get_if<bool>(&v))
                return *b;
            return fail(T::CantConvertToBooleanDataType);
        }
        return fail(T::UnknownConvertingDataType);
    }

    const std::string& text() const { return _value_or_ref; }

private:
    std::string _value_or_ref;
    bool _constant = false;
    Context::Value _value;
    std::string _ref;
};

class Expression::RelationalExpr : public Expression::BooleanExpr {
public:
    explicit RelationalExpr(const std::string& text) : _expression(Util::trim(text)) {
        static const std::pair<const char*, int> operators[] = {
            {OP_LE, LE}, {OP_LT, LT}, {OP_EQ, EQ}, {OP_NE, NE}, {OP_GE, GE}, {OP_GT, GT}};
        for (const auto& [op, code] : operators) {
            auto at = _expression.find(op);
            if (at == std::string::npos)
                continue;
            _operator = code;
            _left = std::make_unique<Operand>(_expression.substr(0, at));
            _right = std::make_unique<Operand>(_expression.substr(at + std::strlen(op)));
            return;
        }
        _unary = true;
        _left = std::make_unique<Operand>(_expression);
    }

    bool evaluate(Context& context) const override {
        Context::Value left = _left->value(context);
        if (_unary) {
            if (auto s = std::get_if<std::string>(&left))
                return !s->empty();
            if (auto b = std::get_if<bool>(&left))
                return *b;
            if (auto i = std::get_if<std::int32_t>(&left))
                return *i != 0;
            throw ExpressionException(T::UnknownDataType, _left->text());
        }
        Context::Value right = _right->value(context, left);
        int sign;
        if (left.index() != right.index())
            throw ExpressionException(T::UncomparableOperands, _expression);
        if (auto s = std::get_if<std::string>(&left))
            sign = compare(*s, std::get<std::string>(right));
        else if (auto i = std::get_if<std::int32_t>(&left))
            sign = compare(*i, std::get<std::int32_t>(right));
        else if (auto b = std::get_if<bool>(&left))
            sign = compare(*b, std::get<bool>(right));
        else
            throw ExpressionException(T::UncomparableOperands, _expression);
        switch (_operator) {
        case LT:
            return sign < 0;
        case LE:
            return sign <= 0;
        case EQ:
            return sign == 0;
        case NE:
            return sign != 0;
        case GE:
            return sign >= 0;
        case GT:
            return sign > 0;
        default:
            throw ExpressionException(T::UnknownOperator, _expression);
        }
    }

private:
    std::string _expression;
    bool _unary = false;
    int _operator = EQ;
    std::unique_ptr<Operand> _left, _right;
};

class Expression::LogicalExpr : public Expression::BooleanExpr {
public:
    explicit LogicalExpr(const std::string& text) : _expression(Util::trim(text)) {
        // Peel the parentheses around the whole text.
        while (!_expression.empty() && _expression.front() == OP_BRA &&
               searchClosingBracket(_expression, 0) == _expression.size() - 1)
            _expression = _expression.substr(1, _expression.size() - 2);
        if (_expression.empty())
            throw ExpressionException(T::SyntaxError, _expression);
        if (isRelational(_expression)) {
            _unary = true;
            _operator = NOOP;
            _left = std::make_unique<RelationalExpr>(_expression);
        } else if (isNegation()) {
            _unary = true;
            _operator = NOT;
            _left = std::make_unique<LogicalExpr>(_expression.substr(1));
        } else {
            auto at = searchOperator();
            if (at == std::string::npos)
                throw ExpressionException(T::LogicalOperatorMissing, _expression);
            _left = std::make_unique<LogicalExpr>(_expression.substr(0, at));
            _right = std::make_unique<LogicalExpr>(_expression.substr(at + 2));
        }
    }

    bool evaluate(Context& context) const override {
        switch (_operator) {
        case NOOP:
            return _left->evaluate(context);
        case NOT:
            return !_left->evaluate(context);
        case AND:
            return _left->evaluate(context) && _right->evaluate(context);
        case OR:
            return _left->evaluate(context) || _right->evaluate(context);
        default:
            throw ExpressionException(T::UnknownOperator, _expression);
        }
    }

private:
    bool isNegation() const {
        if (_expression.front() != '!')
            return false;
        if (_expression.size() < 2 || _expression[1] != OP_BRA)
            throw ExpressionException(T::OperatorNotMustBeFollowedByBrackets, _expression);
        return searchClosingBracket(_expression, 1) == _expression.size() - 1;
    }

    // The leftmost "&&" or "||" after the first parenthesised group and
    // before the next "("; sets the operator.
    std::size_t searchOperator() {
        std::size_t start = 0;
        if (auto bra = _expression.find(OP_BRA); bra != std::string::npos) {
            auto ket = searchClosingBracket(_expression, bra);
            start = ket == std::string::npos ? 0 : ket + 1;
        }
        auto limit = _expression.find(OP_BRA, start);
        auto andAt = _expression.find(OP_AND, start);
        auto orAt = _expression.find(OP_OR, start);
        bool andOk = andAt != std::string::npos && andAt < limit;
        bool orOk = orAt != std::string::npos && orAt < limit;
        if (orOk && (!andOk || orAt < andAt)) {
            _operator = OR;
            return orAt;
        }
        if (andOk) {
            _operator = AND;
            return andAt;
        }
        return std::string::npos;
    }

    std::string _expression;
    bool _unary = false;
    int _operator = NOOP;
    std::unique_ptr<BooleanExpr> _left, _right;
};

Expression::Expression() = default;

Expression::~Expression() = default;

void Expression::parse(const std::string& text) {
    _main = std::make_unique<LogicalExpr>(text);
}

bool Expression::evaluate(Context& context) const {
    if (!_main)
        throw ExpressionException(T::SyntaxError, "");
    return _main->evaluate(context);
}

std::optional<Context::Value> Expression::onValue(Context& context, const std::string& name) {
    return context.get(name);
}

} // namespace zanfir
