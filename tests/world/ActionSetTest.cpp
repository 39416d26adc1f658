#include <gtest/gtest.h>

#include "WorldSupport.h"
#include "language/Description.h"
#include "language/action/ItemTake.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"
#include "state/ref/IntRef.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

const std::string DICTIONARY = "[VERBS]\n"
                               "APRI=spalanca\n"
                               "ACCENDI=\n"
                               "SOFFIA=\n"
                               "[ITEMS]\n"
                               "PORTA=portone\n"
                               "LANTERNA=lume\n"
                               "CANDELA=\n"
                               "CHIAVE=\n"
                               "PILA=\n"
                               "[ADVERBS]\n"
                               "PIANO=\n";
const std::string MAIN = "[BEGINNING]\nLOCATION=SALA\n";

// An adventure written for one test, loaded from a temporary folder.
class ActionSetTest : public WorldTest {
protected:
    std::unique_ptr<TestMain> load(const std::string& map, const std::string& inventory,
                                   const std::string& actionset) {
        writeAdventure(dir, "prova",
                       {{"zanfa", MAIN},
                        {"dictionary", DICTIONARY},
                        {"map", map},
                        {"inventory", inventory},
                        {"actionset", actionset}});
        auto main = std::make_unique<TestMain>("prova", false, dir.path());
        main->load();
        return main;
    }

    static int maskOf(Main& main, const std::string& key) {
        auto at = key.find(':');
        auto action = main.world().getAction(key.substr(0, at), key.substr(at + 1));
        auto description = std::dynamic_pointer_cast<Description>(action);
        return description ? description->itemCheckMask() : -1;
    }

    TempDir dir;
};

TEST_F(ActionSetTest, WorkedExample) {
    auto main = load("[SALA]\nDESCR=una sala\n"
                     "[SALA/ACTIONS]\nSOFFIA:CANDELA=soffi\n"
                     "[SALA/EVENTS]\nLOCATION-ITEM-ENTER:CHIAVE=chiave\n",
                     "[LANTERNA]\n[LANTERNA/ACTIONS]\n*:ACCENDI=accesa\n"
                     "[LANTERNA/EVENTS]\nITEM-TAKE=presa\n",
                     "[ACTIONS]\n*:APRI:PORTA=aperta\nSALA:ACCENDI:[LANTERNA]=luce\n"
                     "[MESSAGES]\nBENVENUTO=Benvenuto nella torre!\n"
                     "[EVENTS]\nLOCATION-ENTER:SALA=entri\n"
                     "ITEM-LOCATION-ENTER:CHIAVE:SALA=arriva\nCOMMAND-PROMPT-ENTER=pronto\n");
    EXPECT_EQ(maskOf(*main, "*:APRI:PORTA"), 1);
    EXPECT_EQ(maskOf(*main, "SALA:ACCENDI:LANTERNA"), 0);
    EXPECT_EQ(maskOf(*main, "SALA:SOFFIA:CANDELA"), 1);
    EXPECT_EQ(maskOf(*main, "*:ACCENDI:LANTERNA"), 1);
    EXPECT_EQ(main->world().getMessage("benvenuto")->text(), "Benvenuto nella torre!");
    for (const char* key :
         {"LOCATION-ENTER:SALA", "ITEM-LOCATION-ENTER:CHIAVE:SALA", "COMMAND-PROMPT-ENTER",
          "LOCATION-ITEM-ENTER:SALA:CHIAVE", "ITEM-TAKE:LANTERNA"})
        EXPECT_NE(main->world().getEvent(key), nullptr) << key;
    EXPECT_EQ(main->world().getEvent("LOCATION-ITEM-ENTER:CHIAVE"), nullptr);

    // The built-in bindings stand until a file binds the same key.
    EXPECT_NE(std::dynamic_pointer_cast<ItemTake>(main->world().getAction("*", "PRENDI:*")),
              nullptr);
    EXPECT_EQ(main->world().getAction("*", "guarda"), main->world().getAction(" * ", "GUARDA:*"));
    EXPECT_TRUE(main->world().hasBindings("*", "GUARDA", 1));
    EXPECT_FALSE(main->world().hasBindings("SALA", "GUARDA", 0));
    auto over = load("[SALA]\n", "", "[ACTIONS]\n*:PRENDI:*=niente\n");
    EXPECT_EQ(std::dynamic_pointer_cast<ItemTake>(over->world().getAction("*", "PRENDI:*")),
              nullptr);
}

TEST_F(ActionSetTest, BindingKeys) {
    auto main = load("[SALA]\n", "", "");
    IntRef mask;
    EXPECT_EQ(main->world().tokenizeAction("*:spalanca:portone", &mask), "*:APRI:PORTA");
    EXPECT_EQ(mask.ref, 1);
    EXPECT_EQ(main->world().tokenizeAction(" * : APRI : [ PORTONE ] ", &mask), "*:APRI:PORTA");
    EXPECT_EQ(mask.ref, 0);
    EXPECT_EQ(main->world().tokenizeAction("SALA:APRI:*:PORTA:PIANO:[LUME]:CHIAVE", &mask),
              "SALA:APRI:*:PORTA:PIANO:LANTERNA:CHIAVE");
    EXPECT_EQ(mask.ref, 0b1010); // "*" takes the place of an item
    EXPECT_EQ(main->world().tokenizeAction("*:ACCENDI:PILA", &mask,
                                           World::INVENTORY_EMBEDDED_ACTIONSET, "LANTERNA"),
              "*:ACCENDI:PILA:LANTERNA");
    EXPECT_EQ(mask.ref, 3);
    EXPECT_EQ(main->world().tokenizeAction("SOFFIA", &mask, World::MAP_EMBEDDED_ACTIONSET, "SALA"),
              "SALA:SOFFIA");
    EXPECT_EQ(main->world().tokenizeAction("torre:apri"), "TORRE:APRI"); // locations as written

    for (const char* bad : {"APRI", "*: :PORTA", "*:APRI:", ":APRI", "*:APRI:[]"})
        EXPECT_THROW(main->world().tokenizeAction(bad), ActionDeclarationException) << bad;
    EXPECT_THROW(main->world().tokenizeAction("*:VOLA"), VerbNotFoundException);

    // A word the dictionary does not know is kept, with a warning.
    main->setLogEnabled(true);
    EXPECT_EQ(main->world().tokenizeAction("*:APRI:ARMADIO", &mask), "*:APRI:ARMADIO");
    EXPECT_EQ(mask.ref, 0);
    Log::setGlobalLog(nullptr);
}

TEST_F(ActionSetTest, DeclarationErrors) {
    struct Case {
        std::string map, inventory, actionset, error;
    };
    const std::vector<Case> cases = {
        {"[SALA]\n", "", "[EVENTS]\nITEM-TAKE=x\n", "evento: 'ITEM-TAKE'"},
        {"[SALA]\n", "", "[EVENTS]\nTAKE=x\n", "evento: 'TAKE'"},
        {"[SALA]\n", "", "[EVENTS]\nITEM-LOCATION-ENTER-X-Y:A:B=x\n", "evento"},
        {"[SALA]\n", "", "[EVENTS]\nITEM-LOCATION-ENTER:CHIAVE=x\n", "evento"},
        {"[SALA]\n[SALA/EVENTS]\nCOMMAND-DO=x\n", "", "[EVENTS]\nCOMMAND-DO=y\n",
         "evento: 'COMMAND-DO'"},
        {"[SALA]\n", "[PILA]\n[PILA/MESSAGES]\nCIAO=a\n", "[MESSAGES]\nciao=b\n",
         "messaggio: 'CIAO'"},
        {"[SALA]\n[SALA/EVENTS]\nLOCATION-ENTER=a\n[SALA]\n", "", "", "LOCATION-ENTER:SALA"},
        {"[SALA]\n", "", "[ACTIONS]\nAPRI=x\n", "azione: 'APRI'"},
    };
    for (const auto& c : cases) {
        try {
            load(c.map, c.inventory, c.actionset);
            ADD_FAILURE() << c.actionset;
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
    // An event type that no event has is skipped; a later action wins.
    auto main = load("[SALA]\n", "",
                     "[EVENTS]\nDOOR-OPEN:X=skipped\n[ACTIONS]\n*:APRI:[PORTA]=a\n"
                     "*:APRI:PORTA=b\n");
    EXPECT_EQ(main->world().getEvent("DOOR-OPEN:X"), nullptr);
    EXPECT_EQ(maskOf(*main, "*:APRI:PORTA"), 1);
}

} // namespace
