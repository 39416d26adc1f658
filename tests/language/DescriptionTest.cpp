#include <gtest/gtest.h>

#include "WorldSupport.h"
#include "language/Description.h"
#include "language/action/MultiAction.h"
#include "runtime/Errors.h"
#include "world/Phrase.h"
#include "world/Word.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

// Prints a mark when run, and remembers what it ran with.
class Mark : public Action {
public:
    explicit Mark(std::string text) : _text(std::move(text)) {}
    bool run(const Execution& now) override {
        print(now, _text);
        phraseSeen = now.phrase;
        return true;
    }
    std::string _text;
    std::shared_ptr<const Phrase> phraseSeen;
};

class DescriptionTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        main = std::make_unique<TestMain>("castello");
        main->load();
        main->blocks["{mark}"] = [this] { return last = std::make_shared<Mark>("*"); };
        main->blocks["{ x {y} z}"] = [] { return std::make_shared<Mark>("nested"); };
    }

    std::vector<std::string> literals(const Description& d) {
        std::vector<std::string> out;
        for (const auto& part : d.parts())
            out.push_back(std::holds_alternative<std::string>(part) ? std::get<std::string>(part)
                                                                    : "<action>");
        return out;
    }

    std::unique_ptr<TestMain> main;
    std::shared_ptr<Mark> last;
};

TEST_F(DescriptionTest, Parsing) {
    Description plain(*main, "Una porta } chiusa.");
    EXPECT_EQ(literals(plain), std::vector<std::string>{"Una porta } chiusa."});
    EXPECT_EQ(plain.text(), "Una porta } chiusa.");

    Description door(*main, "Una porta  {mark}.");
    EXPECT_EQ(literals(door), (std::vector<std::string>{"Una porta  ", "<action>", "."}));
    EXPECT_EQ(door.text(), "Una porta  .");

    Description tail(*main, "{mark} e poi  { x {y} z} ");
    EXPECT_EQ(literals(tail), (std::vector<std::string>{"<action>", " e poi  ", "<action>", " "}));
    Description end(*main, "fine{mark}");
    EXPECT_EQ(literals(end), (std::vector<std::string>{"fine", "<action>", ""}));
    Description empty(*main, "");
    EXPECT_EQ(literals(empty), std::vector<std::string>{""});
    Description nothing(*main, "a{}b{ ; }c");
    EXPECT_EQ(literals(nothing), (std::vector<std::string>{"a", "b", "c"}));

    try {
        Description broken(*main, "Una porta {aperta.");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.className(), "Exception");
        EXPECT_STREQ(e.what(), "parantesi non bilanciate");
    }
    try {
        Description unknown(*main, "Buio {accendi lampada}!");
        ADD_FAILURE() << "no error";
    } catch (const ActionSyntaxException& e) {
        EXPECT_EQ(e.getWhat(), "accendi lampada");
        EXPECT_STREQ(e.what(), "Errore generale nel comando dell'azione (Errore generale nel "
                               "comando dell'azione (comando non riconosciuto): 'accendi "
                               "lampada'): 'accendi lampada'");
    }
}

TEST_F(DescriptionTest, Running) {
    Session session(*main, "Uno");
    Description text(*main, "Vedi {mark} qui.");
    session.adventure->print(text);
    EXPECT_EQ(session.output(), "Vedi * qui.");

    // A bound action ends its line at the top level only.
    Description bound(*main, "Fatto{mark}", true);
    session.adventure->executeAction(bound);
    EXPECT_EQ(session.output(), "Fatto*\n");
    MultiAction parent;
    bound.setParent(&parent);
    session.adventure->executeAction(bound);
    EXPECT_EQ(session.output(), "Fatto*");

    // A silent description prints no literal; its blocks still run.
    text.setSilent(true);
    session.adventure->print(text);
    EXPECT_EQ(session.output(), "*");

    // The item check stops the run before anything is printed.
    Description guarded(*main, "Apri {mark}", true);
    guarded.setItemCheckMask(1);
    auto phrase = std::make_shared<Phrase>(std::vector<std::shared_ptr<Word>>{
        main->world().getVerb("APRI"), main->world().getWord("CHIAVE")});
    guarded.start({*session.adventure, nullptr, phrase});
    EXPECT_EQ(session.output(), "- Qui non ne vedo.\n");
    auto lantern = std::make_shared<Phrase>(std::vector<std::shared_ptr<Word>>{
        main->world().getVerb("APRI"), main->world().getWord("LANTERNA")});
    guarded.start({*session.adventure, nullptr, lantern});
    EXPECT_EQ(session.output(), "Apri *\n");
    EXPECT_EQ(last->phraseSeen, lantern); // blocks run with the description's phrase
}

TEST_F(DescriptionTest, ActionTextsSplitIntoCommands) {
    for (const char* empty : {"", "   ", "{}", "{ ; ; }", ";", " ; "})
        EXPECT_EQ(main->Main::parseAction(empty), nullptr) << empty;
    for (const char* unbalanced : {"{a", "a {b", "ok ; {", "x; {y"}) {
        try {
            main->Main::parseAction(unbalanced);
            ADD_FAILURE() << unbalanced;
        } catch (const ActionSyntaxException&) {
            ADD_FAILURE() << "wrapped: " << unbalanced;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "parantesi non bilanciate") << unbalanced;
        }
    }
    // Every command is unknown so far: the first one is reported, whole.
    const std::pair<const char*, const char*> first[] = {
        {"x", "x"},
        {"{ x } y", "x"},
        {"{ uno ; due }", "uno"},
        {"if (a) {b; c} d", "if (a) {b; c}"},
        {"  {{ nested }}  ", "{ nested }"},
    };
    for (const auto& [text, command] : first) {
        try {
            main->Main::parseAction(text);
            ADD_FAILURE() << text;
        } catch (const ActionSyntaxException& e) {
            EXPECT_EQ(e.getWhat(), command) << text;
        }
    }
}

} // namespace
