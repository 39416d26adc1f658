#include <gtest/gtest.h>

#include "WorldSupport.h"
#include "language/CommandTable.h"
#include "language/action/ActionRef.h"
#include "language/action/Die.h"
#include "language/action/IfElse.h"
#include "language/action/IfThen.h"
#include "language/action/ItemDrop.h"
#include "language/action/ItemGoTo.h"
#include "language/action/ItemHide.h"
#include "language/action/ItemTake.h"
#include "language/action/Look.h"
#include "language/action/MsgPrint.h"
#include "language/action/MultiAction.h"
#include "language/action/Pause.h"
#include "language/action/VarInc.h"
#include "language/action/VarSet.h"
#include "language/action/Wait.h"
#include "runtime/Errors.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

class ParserTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        main = std::make_unique<TestMain>("castello");
        main->load();
    }

    template <class Kind>
    std::shared_ptr<Kind> parse(const std::string& text) {
        auto action = main->parseAction(text, nullptr);
        auto typed = std::dynamic_pointer_cast<Kind>(action);
        EXPECT_NE(typed, nullptr) << text;
        return typed;
    }

    // The message of the error the text raises, or "".
    std::string error(const std::string& text) {
        try {
            main->parseAction(text, nullptr);
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    }

    std::unique_ptr<TestMain> main;
};

const std::string STEM = "Errore generale nel comando dell'azione (";

TEST_F(ParserTest, WorkedExample) {
    auto sequence = parse<MultiAction>("{ if (ACCESA == TRUE) {println 'Vedi una porta.'; "
                                       "PORTA.unhide}; else println 'Buio pesto.'; MOSSE++ }");
    ASSERT_EQ(sequence->actions().size(), 3u);
    auto condition = std::dynamic_pointer_cast<IfThen>(sequence->actions()[0]);
    ASSERT_NE(condition, nullptr);
    EXPECT_EQ(condition->getExpression(), "(ACCESA == TRUE)");
    EXPECT_EQ(condition->getParent(), sequence.get());
    auto then = std::dynamic_pointer_cast<MultiAction>(condition->getThenAction());
    ASSERT_NE(then, nullptr);
    EXPECT_EQ(then->getParent(), condition.get());
    auto print = std::dynamic_pointer_cast<MsgPrint>(then->actions()[0]);
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->getStrings(), std::vector<std::string>{"'Vedi una porta.'"});
    EXPECT_TRUE(print->isLineFeed());
    auto show = std::dynamic_pointer_cast<ItemHide>(then->actions()[1]);
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->getItem(), "PORTA");
    EXPECT_FALSE(show->isHide());
    auto otherwise = std::dynamic_pointer_cast<IfElse>(sequence->actions()[1]);
    ASSERT_NE(otherwise, nullptr);
    auto dark = std::dynamic_pointer_cast<MsgPrint>(otherwise->getElseAction());
    EXPECT_EQ(dark->getStrings(), std::vector<std::string>{"'Buio pesto.'"});
    auto moves = std::dynamic_pointer_cast<VarInc>(sequence->actions()[2]);
    ASSERT_NE(moves, nullptr);
    EXPECT_EQ(moves->getVariable(), "MOSSE");
    EXPECT_EQ(moves->getDelta(), 1);
}

TEST_F(ParserTest, CommandsInTheirOrder) {
    EXPECT_EQ(parse<ActionRef>("@ *:spalanca:porta")->getRef(), "*:APRI:PORTA");
    EXPECT_FALSE(parse<Die>("die")->isEndOnly());
    EXPECT_TRUE(parse<Die>("END")->isEndOnly());
    EXPECT_EQ(parse<Wait>("sleep 1.5")->getMillisec(), 1500);
    EXPECT_TRUE(parse<Wait>("sleep 2")->isSilent());
    EXPECT_EQ(parse<Wait>("sleep -3")->getMillisec(), 0);
    EXPECT_EQ(parse<Wait>("sleep 99999999")->getMillisec(), INT32_MAX);
    EXPECT_EQ(parse<Wait>("sleep 0.0019")->getMillisec(), 1);
    parse<Pause>("pause");
    EXPECT_NE(parse<IfThen>("if(A)x=1"), nullptr); // "(" is searched from the third letter
    auto parts = parse<MsgPrint>("print 'Hai ' + PUNTI ++ ' punti.'");
    EXPECT_EQ(parts->getStrings(), (std::vector<std::string>{"'Hai '", "PUNTI", "' punti.'"}));
    EXPECT_FALSE(parts->isLineFeed());
    auto go = parse<ItemGoTo>("LANTERNA.goto SALA");
    EXPECT_EQ(go->getItem(), "LANTERNA");
    EXPECT_EQ(go->getLocation(), "SALA");
    EXPECT_EQ(parse<ItemGoTo>("goto torre")->getItem(), "");
    auto here = parse<ItemGoTo>("chiave.gohere");
    EXPECT_EQ(here->getItem(), "chiave");
    EXPECT_EQ(here->getLocation(), "");
    EXPECT_TRUE(parse<ItemHide>("PORTA.hide")->isHide());
    EXPECT_FALSE(parse<ItemHide>("PORTA.unhide")->isHide());
    auto take = parse<ItemTake>("LAMPADA.take");
    EXPECT_EQ(take->getItem(), "LAMPADA");
    EXPECT_TRUE(take->isSilent());
    EXPECT_TRUE(parse<ItemDrop>("SPADA.drop")->isSilent());
    EXPECT_FALSE(parse<MsgPrint>("BENVENUTO.print")->isSilent());
    auto exec = parse<MsgPrint>("BENVENUTO.exec");
    EXPECT_EQ(exec->getMessage(), "BENVENUTO");
    EXPECT_TRUE(exec->isSilent());
    EXPECT_EQ(parse<VarInc>("CONTA --")->getDelta(), -1);
    EXPECT_EQ(parse<VarInc>("CONTA++")->getDelta(), 1);
    EXPECT_TRUE(parse<MsgPrint>("println 'a'")->isLineFeed());
    auto ask = parse<VarSet>("X = ASK 'Sei sicuro?'");
    EXPECT_TRUE(ask->isAsk());
    EXPECT_EQ(ask->getValue(), "'Sei sicuro?'");
    auto dice = parse<VarSet>("DADO=random 1 6");
    EXPECT_TRUE(dice->isRandom());
    EXPECT_EQ(dice->getValue(), "1 6");
    EXPECT_EQ(parse<VarSet>("x == y")->getValue(), "= y");
    EXPECT_NE(parse<Look>("com.brisolcorp.zanfir.adventure.action.Look"), nullptr);
    // Every action class is registered, those without a command of their own too
    // (a command cannot name ItemGoTo: "goto" makes it a goto command).
    for (const char* name :
         {"ActionRef", "Die",  "IfElse", "IfThen", "ItemDrop", "ItemGoTo",    "ItemHide",
          "ItemTake",  "Load", "Look",   "Move",   "MsgPrint", "MultiAction", "Pause",
          "Quit",      "Save", "Tell",   "VarInc", "VarSet",   "Wait",        "What"})
        EXPECT_NE(CommandTable::instantiate(std::string(CommandTable::PACKAGE) + name), nullptr)
            << name;

    // Keywords win by their first letters: the order is part of the language.
    EXPECT_NE(parse<IfThen>("IFIGENIA.drop (x) y=1"), nullptr);
    EXPECT_NE(parse<IfElse>("elsewhere=1"), nullptr); // else, then "where=1"
    EXPECT_NE(parse<MsgPrint>("print.goto SALA"), nullptr);
}

TEST_F(ParserTest, ErrorsNameTheCommand) {
    const std::pair<const char*, std::string> cases[] = {
        {"die now", "il comando non prevede parametri): 'die now'"},
        {"pause 2", "il comando non prevede parametri): 'pause 2'"},
        {"DIETRO.take", "il comando non prevede parametri): 'DIETRO.take'"},
        {"sleep", "numero di secondi non determinabile): 'sleep'"},
        {"sleep molto", "numero di secondi non determinabile): 'sleep molto'"},
        {"if A x", "errore di sintassi nell'espressione): 'if A x'"},
        {"if (A", "parantesi non bilanciate): 'if (A'"},
        {"if (A)", "espressione e/o comando non determinabile): 'if (A)'"},
        {"if (A &&) x=1", "Errore di sintassi: ''): 'if (A &&) x=1'"},
        {"if (A == ) x=1",
         "Errore di sintassi nell'espressione relazionale: ''): 'if (A == ) x=1'"},
        {"else", "comando non determinabile): 'else'"},
        {"goto", "locazione non determinabile): 'goto'"},
        {".take", "comando non riconosciuto): '.take'): '.take'"},
        {" .x.hide", "oggetto non determinabile): '.x.hide'"},
        {"x.print", ""},
        {".y.exec", "messaggio non determinabile): '.y.exec'"},
        {"++", "variabile non determinabile): '++'"},
        {" ++x", "comando non riconosciuto): '++x'): '++x'"},
        {"=X", "comando non riconosciuto): '=X'): '=X'"},
        {"X=", "comando non riconosciuto): 'X='): 'X='"},
        {"a.b", "classe Java non instanziabile): 'a.b'"},
        {"com.brisolcorp.zanfir.adventure.action.look",
         "classe Java non instanziabile): 'com.brisolcorp.zanfir.adventure.action.look'"},
        {"@APRI", "Errore di sintassi nella dichiarazione dell'azione: 'APRI'): '@APRI'"},
        {"@*:VOLA", "Verbo non definito: 'VOLA'): '@*:VOLA'"},
    };
    for (const auto& [text, tail] : cases) {
        std::string message = error(text);
        if (tail.empty())
            EXPECT_EQ(message, "") << text;
        else
            EXPECT_EQ(message, STEM + (message.starts_with(STEM + STEM) ? STEM : "") + tail)
                << text;
    }
    // Errors of a branch are wrapped again by the command around them.
    EXPECT_EQ(error("if (A) {else}"),
              STEM + STEM + "comando non determinabile): 'else'): 'if (A) {else}'");
    // Misplaced else-commands are refused unwrapped, except inside a branch.
    EXPECT_EQ(error("x=1; else y=1"), "'else' non direttamente preceduto da 'if'");
    EXPECT_EQ(error("if (A) x=1; else y=1; else z=1"), "'else' non direttamente preceduto da 'if'");
    EXPECT_EQ(error("else {x=1; else y=1}"),
              STEM + "'else' non direttamente preceduto da 'if'): 'else {x=1; else y=1}'");
    EXPECT_EQ(error("{ a } b"), STEM + STEM + "comando non riconosciuto): 'a'): 'a'");
}

} // namespace
