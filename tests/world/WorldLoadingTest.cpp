#include <gtest/gtest.h>

#include <algorithm>

#include "WorldSupport.h"
#include "language/Description.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/ContextFile.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/Word.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

class LoadingTest : public WorldTest {};

TEST_F(LoadingTest, Dictionary) {
    TestMain main("castello");
    main.load();
    for (const char* word : {"IL", "LO", "LA", "I", "GLI", "LE", "ARTICOLI", "PER", "DA"})
        EXPECT_EQ(main.world().blankIfIgnorable(word), "") << word;
    EXPECT_EQ(main.world().blankIfIgnorable("LAMPADA"), "LAMPADA");
    EXPECT_EQ(main.world().blankIfIgnorable(""), "");

    EXPECT_EQ(main.world().resolveSynonym("DISSERRA", Word::VERB_WORD), "APRI");
    EXPECT_EQ(main.world().resolveSynonym("SPALANCA", Word::VERB_WORD), "APRI");
    EXPECT_EQ(main.world().resolveSynonym("NORD", Word::VERB_WORD), "NORD"); // built-ins win
    EXPECT_EQ(main.world().resolveSynonym("CAMMINA", Word::VERB_WORD), "VAI");
    for (const char* verb : {"SUD", "EST", "OVEST", "ALTO", "BASSO", "CARICA", "SALVA", "BASTA",
                             "COSA", "PRENDI", "LASCIA", "GUARDA", "ATTENDI", "PARLA"})
        EXPECT_EQ(main.world().resolveSynonym(verb, Word::VERB_WORD), verb);
    EXPECT_EQ(main.world().resolveSynonym("CHIAVE D'ORO", Word::ITEM_WORD), "CHIAVE");
    EXPECT_EQ(main.world().resolveSynonym("CHIAVINA", Word::ITEM_WORD), "CHIAVE");
    EXPECT_EQ(main.world().resolveSynonym("LENTAMENTE", Word::ADVERB_WORD), "PIANO");
    EXPECT_EQ(main.world().resolveSynonym("FORTE FORTE", Word::ADVERB_WORD), "FORTE");
    EXPECT_EQ(main.world().resolveSynonym("LUME", Word::ITEM_WORD),
              "LANTERNA"); // from the inventory
    EXPECT_EQ(main.world().resolveSynonym("X", 0), std::nullopt);
    EXPECT_THROW(main.world().resolveSynonym("VOLA", Word::VERB_WORD), VerbNotFoundException);
    EXPECT_THROW(main.world().resolveSynonym("VOLA", Word::ITEM_WORD), WordNotFoundException);
    EXPECT_THROW(main.world().resolveSynonym("VOLA", Word::ADVERB_WORD), WordNotFoundException);

    // An item word wins over the same adverb; verbs are no item words.
    EXPECT_EQ(main.world().getWordKind("PIANO"), Word::ITEM_WORD);
    EXPECT_EQ(main.world().getWord("piano")->kind(), Word::ITEM_WORD);
    EXPECT_EQ(main.world().getWordKind("LENTAMENTE"), Word::ADVERB_WORD);
    EXPECT_EQ(main.world().getWordKind("APRI"), 0);
    EXPECT_THROW(main.world().getWord("APRI"), WordNotFoundException);

    // getVerb and getWord normalise and cache; the predicates do not.
    auto verb = main.world().getVerb("  spalanca ");
    EXPECT_EQ(verb->word(), "SPALANCA");
    EXPECT_EQ(verb->kind(), Word::VERB_WORD);
    EXPECT_EQ(main.world().getVerb("SPALANCA"), verb);
    EXPECT_FALSE(main.world().isVerbWord("spalanca"));
    EXPECT_TRUE(main.world().isVerbWord("SPALANCA"));
    try {
        main.world().getVerb(" vola ");
        ADD_FAILURE() << "no error";
    } catch (const VerbNotFoundException& e) {
        EXPECT_STREQ(e.what(), "Verbo non definito: 'VOLA'");
    }
    EXPECT_EQ(main.world().getVerb("alto")->getDirection(), Location::U);
    EXPECT_EQ(main.world().getVerb("nord")->getDirection(), Location::N);
    EXPECT_EQ(main.world().getVerb("apri")->getDirection(), 0);
}

TEST_F(LoadingTest, InventoryAndMap) {
    TestMain main("castello");
    main.load();

    auto lanterna = main.world().getItem(" lanterna ");
    EXPECT_EQ(lanterna->name(), "LANTERNA");
    EXPECT_EQ(lanterna->descr().text(), "una lanterna");
    EXPECT_EQ(lanterna->descrLook()->text(), "Una vecchia lanterna a olio.");
    EXPECT_FALSE(lanterna->hasFirstDescription());
    EXPECT_TRUE(lanterna->visible() && lanterna->carriable());
    EXPECT_EQ(lanterna->initialLocation(), "INGRESSO");
    EXPECT_FALSE(lanterna->initiallyHidden());
    for (const char* word : {"LANTERNA", "LUME", "LAMPADA"})
        EXPECT_TRUE(main.world().isItemWord(word)) << word;

    auto chiave = main.world().getItem("CHIAVE");
    EXPECT_EQ(chiave->initialLocation(), "SALA");
    EXPECT_TRUE(chiave->initiallyHidden());

    // Named by the map only: invisible, not carriable, quoted lower-case name.
    auto quadro = main.world().getItem("Quadro");
    EXPECT_EQ(quadro->descr().text(), "'quadro'");
    EXPECT_FALSE(quadro->visible() || quadro->carriable());
    EXPECT_EQ(quadro->initialLocation(), "INGRESSO");
    EXPECT_FALSE(quadro->initiallyHidden());
    EXPECT_TRUE(main.world().isItemWord("QUADRO"));

    auto spada = main.world().getItem("SPADA");
    EXPECT_TRUE(spada->initiallyCarried());
    EXPECT_EQ(spada->initialLocation(), "");
    EXPECT_EQ(spada->descrFirst()->text(), "Appesa al muro c'e' una spada lucente.");
    auto scudo = main.world().getItem("SCUDO"); // carried and hidden, then placed on the map
    EXPECT_FALSE(scudo->initiallyCarried());
    EXPECT_TRUE(scudo->initiallyHidden());
    EXPECT_EQ(scudo->initialLocation(), "TORRE");
    EXPECT_EQ(scudo->descr().text(), "'scudo'");
    EXPECT_FALSE(main.world().getItem("FANTASMA")->carriable()); // invisible: never carriable
    EXPECT_FALSE(main.world().getItem("PORTA")->carriable());
    EXPECT_TRUE(main.world().isItemWord("PORTONE"));

    auto ingresso = main.world().getLocation("ingresso");
    EXPECT_EQ(ingresso->descr().text(), "nell'ingresso");
    EXPECT_FALSE(ingresso->hasLongDescription());
    EXPECT_EQ(ingresso->north(), "SALA");
    EXPECT_EQ(ingresso->getNextByDirection(Location::N), "SALA");
    EXPECT_EQ(ingresso->getNextByDirection(3), "");
    auto sala = main.world().getLocation(" Sala ");
    EXPECT_EQ(sala->descrLong()->text(), "Una sala con un camino spento.");
    EXPECT_EQ(sala->up(), "torre"); // exits are kept as written
    EXPECT_EQ(sala->getNextByDirection(Location::U), "torre");
    EXPECT_TRUE(sala->equals(main.world().getLocation("SALA").get()));
    EXPECT_FALSE(sala->equals(nullptr));
    EXPECT_FALSE(sala->equals("sala"));

    // Embedded sections are neither items nor locations.
    EXPECT_FALSE(main.world().existItem("EVENTS"));
    EXPECT_THROW(main.world().getLocation("SALA/ACTIONS"), LocationNotFoundException);
    auto names = main.world().getItems();
    EXPECT_EQ(names.size(), 7u);
    try {
        main.world().getItem(" spettro ");
        ADD_FAILURE() << "no error";
    } catch (const ItemNotFoundException& e) {
        EXPECT_EQ(e.getItem(), "SPETTRO");
    }
    EXPECT_THROW(main.world().getUser("LANTERNA"), TypeMismatchException);
    EXPECT_THROW(main.world().getMessage("saluto"), MessageNotFoundException);
    EXPECT_EQ(main.world().getEvent("ITEM-TAKE:*")->text(), "Preso.");
    EXPECT_EQ(main.world().getEvent("ITEM-TAKE:LANTERNA"), nullptr);

    EXPECT_EQ(main.getIntro()->text(),
              "Benvenuto al castello. Trova la chiave e sali sulla torre.");
    EXPECT_NE(main.getIntro(), main.getIntro()); // parsed anew each time
    EXPECT_EQ(main.getDead()->text(), "Sei caduto dalla torre.");
}

TEST_F(LoadingTest, MultiUserWorld) {
    TempDir dir;
    copyFixture("castello", dir);
    {
        TestMain main("castello", true, dir.path());
        main.load();
        // A carried item cannot start in every player's hands.
        EXPECT_EQ(main.world().getItem("SPADA")->initialLocation(), "INGRESSO");
        EXPECT_FALSE(main.world().getItem("SPADA")->initiallyCarried());
        auto global = main.getGlobalContext();
        ASSERT_NE(global, nullptr);
        EXPECT_EQ(global->getString("GLOBAL.ITEMS.LANTERNA.LOCATION"), "INGRESSO");
        EXPECT_TRUE(global->getBoolean("GLOBAL.ITEMS.CHIAVE.HIDDEN"));
        EXPECT_EQ(global->getString("GLOBAL.ITEMS.SPADA.LOCATION"), "INGRESSO");
        EXPECT_EQ(global->getString("GLOBAL.ITEMS.SCUDO.LOCATION"), "TORRE");
        EXPECT_EQ(std::get<std::shared_ptr<Context>>(*global->get("USER"))->count(), 0);

        // A state file with players is read back at the next start.
        global->setString("USER.7.NAME", "Mario");
        global->setString("USER.ALTRO.NAME", "skipped");
        main.serialize();
    }
    TestMain again("castello", true, dir.path());
    again.load();
    EXPECT_EQ(again.getGlobalContext()->getString("USER.7.NAME"), "Mario");

    // A state file without players is refused.
    Context empty;
    empty.setString("GLOBAL.X", "y");
    ContextFile::write(again.stateFile(), empty);
    EXPECT_THROW(again.deserialize(), SerializationException);
}

TEST_F(LoadingTest, WarningWhenCarriedItemMoves) {
    TempDir dir;
    copyFixture("castello", dir);
    TestMain main("castello", true, dir.path());
    main.setLogEnabled(true);
    main.load();
    auto rows = logLines(dir.file("logs"));
    ASSERT_EQ(rows.size(), 7u) << testing::PrintToString(rows);
    EXPECT_EQ(rows[0].substr(36), "Inizializzazione");
    EXPECT_EQ(rows[1].substr(36), "Caricamento dizionario");
    EXPECT_EQ(rows[2].substr(36), "Caricamento inventario");
    EXPECT_EQ(rows[3], "Main                           WARN Oggetto trasportato spostato alla "
                       "locazione iniziale: 'SPADA'");
    EXPECT_EQ(rows[4].substr(36), "Oggetto trasportato spostato alla locazione iniziale: 'SCUDO'");
    EXPECT_EQ(rows[5].substr(36), "Caricamento mappa");
    EXPECT_EQ(rows[6].substr(36), "Caricamento tavola delle azioni");
    Log::setGlobalLog(nullptr);
}

} // namespace
