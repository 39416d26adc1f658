#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "runtime/Log.h"

using namespace zanfir;

namespace {

TEST(ExceptionTest, MessagesAndClassNames) {
    ActionSyntaxException plain("else");
    EXPECT_STREQ(plain.what(), "Errore generale nel comando dell'azione: 'else'");
    ActionSyntaxException reason("else", "comando non determinabile");
    EXPECT_STREQ(reason.what(),
                 "Errore generale nel comando dell'azione (comando non determinabile): 'else'");
    EXPECT_EQ(reason.getWhat(), "else");
    EXPECT_EQ(reason.className(), "ActionSyntaxException");

    ExpressionException expr("Operatore logico mancante", "A B");
    EXPECT_STREQ(expr.what(), "Operatore logico mancante: 'A B'");
    EXPECT_EQ(expr.getExpression(), "A B");

    EventDeclarationException event("ENTER:X:Y:Z");
    EXPECT_STREQ(event.what(), "Errore di sintassi nella dichiarazione dell'evento: 'ENTER:X:Y:Z'");
    MessageNotFoundException message("SALUTO");
    EXPECT_EQ(message.getMessage(), "SALUTO");

    SerializationException serialization("disk full");
    EXPECT_EQ(serialization.getDetail(), "disk full");
    EXPECT_EQ(Log::describe(serialization), "Eccezione SerializationException: disk full");
    RemoteConnectionException remote("Errore durante l'ascolto sulla porta di connessione");
    EXPECT_EQ(Log::describe(remote), "Eccezione RemoteConnectionException: Errore durante "
                                     "l'ascolto sulla porta di connessione");
    Exception base("parantesi non bilanciate");
    EXPECT_EQ(Log::describe(base), "Eccezione Exception: parantesi non bilanciate");
    EXPECT_EQ(Log::getClassName(nullptr), "?");
}

} // namespace
