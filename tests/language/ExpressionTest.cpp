#include <gtest/gtest.h>

#include "language/Expression.h"
#include "runtime/Errors.h"
#include "state/Context.h"

using namespace zanfir;

namespace {

struct Case {
    const char* text;
    bool value;        // when no error
    const char* error; // the message, or nullptr
};

// Variables: S = "x", EMPTY = "", N = 5, ZERO = 0, T = true, F = false,
// NOME = "Anna", TS = "true" (a string), SUB a nested context.
void fill(Context& ctx) {
    ctx.setString("S", "x");
    ctx.setString("EMPTY", "");
    ctx.setInt("N", 5);
    ctx.setInt("ZERO", 0);
    ctx.setBoolean("T", true);
    ctx.setBoolean("F", false);
    ctx.setString("NOME", "Anna");
    ctx.setString("TS", "true");
    ctx.setInt("SUB.LEVEL", 2);
}

const Case CASES[] = {
    // Unary operands: non-empty strings, true, non-zero integers.
    {"(UNSET)", false, nullptr},
    {"(S)", true, nullptr},
    {"(EMPTY)", false, nullptr},
    {"(ZERO)", false, nullptr},
    {"(T)", true, nullptr},
    {"( N )", true, nullptr},
    {"(SUB.LEVEL)", true, nullptr},
    {"('')", false, nullptr},
    {"(0)", false, nullptr},
    {"(00)", false, nullptr}, // no integer literal: an unset variable named 00
    // Comparisons and conversions of the right operand.
    {"(N <= 5)", true, nullptr},
    {"(N < 5)", false, nullptr},
    {"(N >= 5)", true, nullptr},
    {"(N > 4)", true, nullptr},
    {"(N != 5)", false, nullptr},
    {"(N == T)", false, nullptr}, // true becomes 1
    {"(N == 'x')", false, "Conversione al tipo intero impossibile: ''x''"},
    {"(NOME == 'Anna')", true, nullptr},
    {"(NOME == 'anna')", false, nullptr},
    {"(NOME < 'Bruno')", true, nullptr},
    {"(S == 5)", false, nullptr}, // 5 becomes "5"
    {"(TS == TRUE)", false, "Conversione al tipo stringa impossibile: 'TRUE'"},
    {"(T == TRUE)", true, nullptr},
    {"(T == 'TrUe')", true, nullptr},
    {"(T == ZERO)", false, nullptr},
    {"(F < T)", true, nullptr},
    {"(UNSET == 0)", false, nullptr},
    {"(0 == UNSET)", false, "Conversione al tipo intero impossibile: 'UNSET'"},
    {"(SUB)", false, "Tipo di dato sconosciuto: 'SUB'"},
    {"(SUB == 1)", false, "Tipo di dato da convertire sconosciuto: '1'"},
    // Logic: equal precedence, grouping to the right, short circuits.
    {"(F && T || T)", false, nullptr},
    {"(T || F && F)", true, nullptr},
    {"(F || T && T)", true, nullptr},
    {"((F) && (SUB == 1))", false, nullptr},
    {"((T) || (SUB == 1))", true, nullptr},
    {"(T || (SUB == 1))", false, "Operatore logico mancante: 'T || (SUB == 1)'"},
    {"!(F)", true, nullptr},
    {"!(T) || T", true, nullptr},
    {"(N == 5) && !(F)", true, nullptr},
    {"((N == 5))", true, nullptr},
    {"(A != B)", false, nullptr},
    // Syntax errors.
    {"", false, "Errore di sintassi: ''"},
    {"()", false, "Errore di sintassi: ''"},
    {"!T", false, "L'operatore '!' deve essere seguito dalle parentesi: '!T'"},
    {"(!A != B)", false, "L'operatore '!' deve essere seguito dalle parentesi: '!A != B'"},
    {"N == 5 && (T)", false, "Operatore logico mancante: 'N == 5 && (T)'"},
    {"( (N == 5) )", false, "Operatore logico mancante: ' (N == 5) '"},
    {"(N ==)", false, "Errore di sintassi nell'espressione relazionale: ''"},
    {"(A B)", false, nullptr},
    {"(T) (F)", false, "Operatore logico mancante: '(T) (F)'"},
};

TEST(ExpressionTest, ValuesAndErrors) {
    for (const auto& c : CASES) {
        Context ctx;
        fill(ctx);
        Expression expression;
        try {
            expression.parse(c.text);
            bool value = expression.evaluate(ctx);
            EXPECT_EQ(c.error, nullptr) << c.text << " gave " << value;
            EXPECT_EQ(value, c.value) << c.text;
        } catch (const ExpressionException& e) {
            EXPECT_STREQ(e.what(), c.error ? c.error : "(no error)") << c.text;
        }
    }
}

TEST(ExpressionTest, OneTreeManyContexts) {
    Expression expression;
    expression.parse("(PUNTI >= 10) && (CHIAVE)");
    Context rich, poor;
    rich.setInt("PUNTI", 12);
    rich.setBoolean("CHIAVE", true);
    poor.setInt("PUNTI", 3);
    EXPECT_TRUE(expression.evaluate(rich));
    EXPECT_FALSE(expression.evaluate(poor));
    EXPECT_EQ(poor.count(), 1); // reading bare names creates nothing
}

} // namespace
