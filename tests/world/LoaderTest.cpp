#include <gtest/gtest.h>

#include "WorldSupport.h"
#include "language/Description.h"
#include "runtime/Errors.h"
#include "world/Item.h"
#include "world/LoadListener.h"

using namespace zanfir;
using namespace zanfir::test;

namespace {

using Kind = Declaration::Kind;

// Keeps what the loader tells, and may leave declarations out.
class Recorder : public LoadListener {
public:
    bool admit(const Declaration& declaration) override {
        return !leaveOut || !leaveOut(declaration);
    }
    void loaded(const Declaration& declaration) override { told.push_back(declaration); }
    void failed(const Declaration& declaration, const Exception& error) override {
        failures.push_back(declaration.file + ":" + std::to_string(declaration.line) + " [" +
                           declaration.section + "] " + declaration.variable + ": " + error.what());
    }

    // The declaration of that kind whose key is `key`; fails the test when
    // there is none.
    const Declaration& find(Kind kind, const std::string& key) const {
        for (const auto& each : told)
            if (each.kind == kind && each.key == key)
                return each;
        ADD_FAILURE() << key << " not told";
        static const Declaration none(kind, "");
        return none;
    }

    std::function<bool(const Declaration&)> leaveOut;
    std::vector<Declaration> told;
    std::vector<std::string> failures;
};

class LoaderTest : public WorldTest {
protected:
    std::unique_ptr<TestMain> load(Recorder& recorder, const std::string& inventory,
                                   const std::string& actionset) {
        writeAdventure(dir, "prova",
                       {{"zanfa", "[BEGINNING]\nLOCATION=SALA\n"},
                        {"dictionary", "[VERBS]\nAPRI=\n[ITEMS]\nPORTA=\n"},
                        {"map", "[SALA]\n"                         // 1
                                "DESCR=in sala\n"                  // 2
                                "ITEMS=porta, quadro\n"            // 3
                                "[SALA/ACTIONS]\n"                 // 4
                                "APRI:PORTA=La porta si apre.\n"}, // 5
                        {"inventory", inventory},
                        {"actionset", actionset}});
        auto main = std::make_unique<TestMain>("prova", false, dir.path());
        main->load(&recorder);
        return main;
    }

    TempDir dir;
};

TEST_F(LoaderTest, EveryDeclarationIsToldWithItsPlace) {
    Recorder recorder;
    auto main = load(recorder,
                     "[PORTA]\n"                    // 1
                     "// una porta\n"               // 2
                     "DESCR=una porta\n"            // 3
                     "LOOK-DESCR=Di legno.\n"       // 4
                     "CARRIABLE=FALSE\n",           // 5
                     "[MESSAGES]\n"                 // 1
                     "CIAO=Ciao!\n"                 // 2
                     "[EVENTS]\n"                   // 3
                     "LOCATION-ENTER:SALA=Entri.\n" // 4
                     "[ACTIONS]\n"                  // 5
                     "*:APRI=Cosa?\n");             // 6
    EXPECT_EQ(recorder.failures, std::vector<std::string>());

    int files = 0;
    for (const auto& each : recorder.told)
        if (each.kind == Kind::File) {
            ++files;
            EXPECT_NE(each.config, nullptr) << each.file;
        }
    EXPECT_EQ(files, 4);

    const auto& porta = recorder.find(Kind::Item, "PORTA");
    EXPECT_EQ(porta.file + ":" + std::to_string(porta.line), "prova.inventory:1");
    const auto& look = recorder.find(Kind::Text, "PORTA");
    EXPECT_EQ(look.variable, "DESCR");
    EXPECT_EQ(look.line, 3);
    EXPECT_EQ(look.action.get(), &main->world().getItem("PORTA")->descr());
    const auto& quadro = recorder.find(Kind::Item, "QUADRO"); // named by the map only
    EXPECT_EQ(quadro.file + ":" + std::to_string(quadro.line) + " " + quadro.variable,
              "prova.map:3 ITEMS");
    EXPECT_EQ(recorder.find(Kind::Location, "SALA").line, 1);

    const auto& attached = recorder.find(Kind::Binding, "SALA:APRI:PORTA");
    EXPECT_EQ(attached.section + " " + attached.variable + " " + std::to_string(attached.line),
              "SALA/ACTIONS APRI:PORTA 5");
    EXPECT_EQ(attached.action, main->world().getAction("SALA", "APRI:PORTA"));
    const auto& message = recorder.find(Kind::Message, "CIAO");
    EXPECT_EQ(message.file + ":" + std::to_string(message.line), "prova.actionset:2");
    EXPECT_EQ(message.action, main->world().getMessage("ciao"));
    const auto& event = recorder.find(Kind::Event, "LOCATION-ENTER:SALA");
    EXPECT_EQ(event.line, 4);
    EXPECT_EQ(event.action, main->world().getEvent("LOCATION-ENTER:SALA"));
    EXPECT_EQ(recorder.find(Kind::Binding, "*:APRI").line, 6);
}

TEST_F(LoaderTest, FailuresAreToldAndLoadingGoesOn) {
    Recorder recorder;
    recorder.leaveOut = [](const Declaration& declaration) {
        return declaration.variable == "COMMAND-DO";
    };
    auto main = load(recorder, "[PORTA]\nDESCR=una {porta\nCARRIABLE=FALSE\n",
                     "[ACTIONS]\n*:VOLA=x\n*:APRI=Cosa?\n"
                     "[MESSAGES]\nCIAO=a\n"
                     "[EVENTS]\nITEM-TAKE=b\nCOMMAND-DO=c\nLOCATION-ENTER:SALA=d\n");
    EXPECT_EQ(recorder.failures,
              (std::vector<std::string>{
                  "prova.inventory:2 [PORTA] DESCR: parantesi non bilanciate",
                  "prova.actionset:2 [ACTIONS] *:VOLA: Verbo non definito: 'VOLA'",
                  "prova.actionset:7 [EVENTS] ITEM-TAKE: Errore di sintassi nella dichiarazione "
                  "dell'evento: 'ITEM-TAKE'"}));
    // What failed is left out or stands in for itself; the rest is there.
    EXPECT_EQ(main->world().getItem("PORTA")->descr().text(), "'porta'");
    EXPECT_NE(main->world().getAction("*", "APRI"), nullptr);
    EXPECT_NE(main->world().getMessage("CIAO"), nullptr);
    EXPECT_NE(main->world().getEvent("LOCATION-ENTER:SALA"), nullptr);
    EXPECT_EQ(main->world().getEvent("COMMAND-DO"), nullptr); // left out by the listener
    EXPECT_TRUE(main->world().hasEvents("LOCATION-ENTER"));
    EXPECT_FALSE(main->world().hasEvents("COMMAND-DO"));
    EXPECT_FALSE(main->world().hasEvents("ITEM-TAKE"));

    // A file that cannot be read is told; the others are still read, and
    // nothing is built.
    std::remove(dir.file("prova.dictionary").c_str());
    writeFile(dir.file("prova.actionset"), "X=\"open\n");
    Recorder broken;
    TestMain again("prova", false, dir.path());
    again.load(&broken);
    ASSERT_EQ(broken.failures.size(), 2u);
    EXPECT_TRUE(broken.failures[0].starts_with("prova.dictionary:0 [] : File di definizione"));
    EXPECT_TRUE(broken.failures[1].starts_with("prova.actionset:0 [] : Errore di sintassi"));
    EXPECT_EQ(broken.told.size(), 2u); // the map and the inventory
    EXPECT_TRUE(again.world().getItems().empty());
}

} // namespace
