#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "TestSupport.h"

using namespace zanfir::test;

namespace {

const std::string CHOICES = "- ANNULLA l'ultima mossa, RICOMINCIA o BASTA? ";

class LanguageGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.file("gioco.zanfa"),
                  "[BEGINNING]\nINTRO=Pronti.\nDEAD=Sei morto.\nLOCATION=CASA\n");
        writeFile(dir.file("gioco.dictionary"),
                  "[VERBS]\nLANCIA=\nSCAVA=\nDORMI=\nRIPOSA=\nSALTA=\nFINE=\nCHIAMA=\n"
                  "VOLA=\nNASCONDI=\nSALUTA=\nCONTA=\nANCORA=\nTUFFA=\n"
                  "[ITEMS]\nDADO=\nTESORO=\nPALA=\n");
        writeFile(dir.file("gioco.inventory"), "[DADO]\nDESCR=un dado\nCARRIED=TRUE\n"
                                               "[TESORO]\nDESCR=un tesoro\nHIDDEN=TRUE\n"
                                               "[PALA]\nDESCR=una pala\n");
        writeFile(dir.file("gioco.map"),
                  "[CASA]\nDESCR=in casa\nNORTH=GIARDINO\nITEMS=pala\n"
                  "[GIARDINO]\nDESCR=in giardino\nSOUTH=CASA\nITEMS=tesoro\n"
                  "[GIARDINO/ACTIONS]\n"
                  "SCAVA:[PALA]={if (SCAVATO) println 'Hai gia scavato.'; "
                  "else {TESORO.unhide; SCAVATO = true; println 'Trovi un tesoro!'}}\n");
        writeFile(dir.file("gioco.actionset"),
                  "[ACTIONS]\n"
                  "*:LANCIA:DADO={N = random 1 6}{print 'Esce ' + N + '.'}\n"
                  "*:DORMI={sleep 0.3}Zzz...\n"
                  "*:RIPOSA={pause}Riposato.\n"
                  "*:SALTA={OK = ask 'Sei sicuro? '}{if (OK) die; else println 'Meglio di no.'}\n"
                  "*:FINE={end}\n"
                  "*:TUFFA={goto GIARDINO}{die}\n"
                  "*:CHIAMA={PALA.gohere}La pala torna da te.\n"
                  "*:VOLA={goto GIARDINO}\n"
                  "*:NASCONDI={TESORO.hide}\n"
                  "*:SALUTA={SALUTO.print}\n"
                  "*:CONTA={SALUTO.exec}{println 'Saluti: ' + CONTA}\n"
                  "*:ANCORA:*={@*:LANCIA:*}\n"
                  "[MESSAGES]\nSALUTO=Ciao!{CONTA++}\n");
    }

    // What the game answered to each command: the text between a prompt
    // and the next scene.
    static std::vector<std::string> answers(const std::string& out) {
        std::vector<std::string> found;
        const std::string prompt = "Cosa devo fare? \n";
        for (auto at = out.find(prompt); at != std::string::npos; at = out.find(prompt, at)) {
            at += prompt.size();
            auto end = out.find("\nSei ", at);
            found.push_back(
                out.substr(at, end == std::string::npos ? std::string::npos : end - at));
        }
        return found;
    }

    TempDir dir;
};

TEST_F(LanguageGameTest, EveryKindOfCommand) {
    auto start = std::chrono::steady_clock::now();
    RunResult game = runZanfir({dir.file("gioco.zanfa")},
                               "Anna\nlancia dado\nsaluta\nconta\nvola\nscava pala\nscava pala\n"
                               "prendi tesoro\nnascondi\nchiama\ndormi\nriposa\n\nancora dado\n"
                               "salta\nno\nsalta\nsi\n\n");
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(game.status, 0);
    EXPECT_EQ(game.err, "");
    auto said = answers(game.out);
    ASSERT_EQ(said.size(), 14u) << game.out;
    EXPECT_TRUE(std::regex_match(said[0], std::regex("Esce [1-6]\\.\n")));
    EXPECT_EQ(said[1], "Ciao!\n");
    EXPECT_EQ(said[2], "Saluti: 2\n\n");
    EXPECT_EQ(said[3], "\n");
    EXPECT_EQ(said[4], "Trovi un tesoro!\n\n");
    EXPECT_EQ(said[5], "Hai gia scavato.\n\n");
    EXPECT_EQ(said[6], "Fatto.\n");
    EXPECT_EQ(said[7], "\n"); // a carried treasure is dropped, then hidden
    EXPECT_EQ(said[8], "La pala torna da te.\n");
    EXPECT_EQ(said[9], "Zzz...\n");
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_EQ(said[10], "\n- Premi <invio> per continuare... \nRiposato.\n");
    EXPECT_TRUE(std::regex_match(said[11], std::regex("Esce [1-6]\\.\n")));
    EXPECT_EQ(said[12], "Sei sicuro? Meglio di no.\n\n");
    EXPECT_EQ(said[13], "Sei sicuro? Sei morto.\n\n" + CHOICES + "\n\n");
    // The scene after each command shows where the player and the items are.
    EXPECT_NE(game.out.find("Sei in giardino.\nVedo una pala."), std::string::npos);
}

TEST_F(LanguageGameTest, VariablesAreSavedWithTheGame) {
    RunResult first = runZanfir({dir.file("gioco.zanfa")}, "Anna\nsaluta\nsaluta\nsalva\n");
    EXPECT_EQ(first.status, 0);
    EXPECT_NE(readFile(dir.file("anna.context")).find("\"CONTA\": 2"), std::string::npos);
    RunResult second = runZanfir({dir.file("gioco.zanfa")}, "Anna\nconta\ncarica\nconta\n");
    auto said = answers(second.out);
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[0], "Saluti: 1\n\n");
    EXPECT_EQ(said[2], "Saluti: 3\n\n");
}

TEST_F(LanguageGameTest, EndWithoutDeathText) {
    RunResult game = runZanfir({dir.file("gioco.zanfa")}, "Anna\nfine\n\n");
    EXPECT_EQ(game.status, 0);
    auto said = answers(game.out);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "\n\n" + CHOICES + "\n\n");
}

// At the end of a game of one's own the player may take the fatal move
// back, load the saved game, start again or leave.
TEST_F(LanguageGameTest, TheEndOffersASecondChance) {
    const std::string main = dir.file("gioco.zanfa");
    RunResult undone = runZanfir({main}, "Anna\nprendi pala\ntuffa\nannulla\ncosa\n");
    EXPECT_EQ(undone.status, 0);
    auto said = answers(undone.out);
    ASSERT_EQ(said.size(), 3u) << undone.out;
    EXPECT_EQ(said[1],
              "Sei morto.\n\n" + CHOICES + "\n\n- Fatto: l'ultimo comando e' annullato.\n");
    EXPECT_EQ(said[2], "Possiedi:\n- un dado\n- una pala\n");
    EXPECT_NE(undone.out.find("annullato.\n\nSei in casa.\n\n\nCosa"), std::string::npos);

    RunResult again = runZanfir({main}, "Anna\nprendi pala\ntuffa\nvola\nricomincia\ncosa\n");
    said = answers(again.out);
    ASSERT_EQ(said.size(), 3u) << again.out;
    EXPECT_EQ(said[1], "Sei morto.\n\n" + CHOICES + CHOICES + "\n\nPronti.\n");
    EXPECT_EQ(said[2], "Possiedi:\n- un dado\n");
    EXPECT_NE(again.out.find("Pronti.\n\nSei in casa.\nVedo una pala."), std::string::npos);

    const std::string withLoad =
        "- ANNULLA l'ultima mossa, CARICA la partita salvata, RICOMINCIA o BASTA? ";
    RunResult loaded =
        runZanfir({main}, "Anna\nprendi pala\nsalva\nlascia pala\nvola\ntuffa\ncarica\ncosa\n");
    said = answers(loaded.out);
    ASSERT_EQ(said.size(), 6u) << loaded.out;
    EXPECT_EQ(said[1], "- Partita salvata.\n");
    EXPECT_EQ(said[4], "Sei morto.\n\n" + withLoad + "\n\n- Partita caricata.\n");
    EXPECT_EQ(said[5], "Possiedi:\n- un dado\n- una pala\n");

    // BASTA, Enter and the end of the input leave, as before.
    for (const char* end : {"basta\ncosa\n", "\ncosa\n", ""}) {
        RunResult left = runZanfir({main}, std::string("Bea\ntuffa\n") + end);
        EXPECT_EQ(left.status, 0);
        EXPECT_TRUE(left.out.ends_with("Sei morto.\n\n" + CHOICES + "\n\n")) << left.out;
    }
}

// A command that runs too many steps, or prints too much, is stopped; the
// player is told and plays on.
TEST_F(LanguageGameTest, CommandsThatRunAwayAreStopped) {
    writeFile(dir.file("gioco.zanfa"),
              "CommandSteps=5000\nCommandOutput=2000\n" + readFile(dir.file("gioco.zanfa")));
    // Each level runs the next ten times: ten thousand runs of the last, five deep.
    std::string messages = "[MESSAGES]\nL5=x\nLUNGO=\"" + std::string(1500, 'x') + "\"\n";
    for (int level = 1; level <= 4; ++level) {
        std::string next = "L" + std::to_string(level + 1) + ".exec";
        messages += "L" + std::to_string(level) + "={" + next;
        for (int i = 1; i < 10; ++i)
            messages += "; " + next;
        messages += "}\n";
    }
    writeFile(dir.file("gioco.actionset"),
              "[ACTIONS]\n*:CONTA={L1.exec}\n*:SALUTA={LUNGO.print; LUNGO.print}\n*:DORMI=Zzz.\n" +
                  messages);
    ::mkdir(dir.file("logs").c_str(), 0755);
    RunResult game = runZanfir({dir.file("gioco.zanfa"), "-log"}, "Anna\nconta\nsaluta\ndormi\n");
    auto said = answers(game.out);
    ASSERT_EQ(said.size(), 3u) << game.out;
    EXPECT_EQ(said[0], "\n- Il comando era troppo lungo: l'ho interrotto.\n");
    EXPECT_TRUE(said[1].starts_with(std::string(79, 'x'))) << said[1];
    EXPECT_NE(said[1].find("\n- Il comando era troppo lungo: l'ho interrotto.\n"),
              std::string::npos);
    EXPECT_EQ(said[2], "Zzz.\n");
    auto rows = logLines(dir.file("logs"));
    int stopped = 0;
    for (const auto& row : rows)
        stopped += row.find("FAIL Eccezione CommandStoppedException: Comando interrotto oltre il "
                            "limite: '") != std::string::npos;
    EXPECT_EQ(stopped, 2) << testing::PrintToString(rows);
}

TEST_F(LanguageGameTest, RunawayReferencesEndOnlyThatSession) {
    writeFile(dir.file("gioco.actionset"), "[ACTIONS]\n*:SALTA={@*:SALTA}\n");
    ::mkdir(dir.file("logs").c_str(), 0755);
    RunResult game = runZanfir({dir.file("gioco.zanfa"), "-log"}, "Anna\nsalta\nguarda\n");
    EXPECT_EQ(game.status, 1);
    EXPECT_TRUE(game.err.starts_with("Eccezione Exception: Esecuzione interrotta")) << game.err;
    EXPECT_EQ(answers(game.out).size(), 1u); // nothing after the failing command
    auto rows = logLines(dir.file("logs"));
    bool logged = false;
    for (const auto& row : rows)
        logged |= row.find("FAIL Eccezione Exception: Esecuzione interrotta") != std::string::npos;
    EXPECT_TRUE(logged) << testing::PrintToString(rows);
}

TEST_F(LanguageGameTest, TheRulesOfTakingAndDropping) {
    writeFile(dir.file("gioco.inventory"), readFile(dir.file("gioco.inventory")) +
                                               "[FANTASMA]\nDESCR=un fantasma\nVISIBLE=FALSE\n"
                                               "[MASSO]\nDESCR=un masso\nCARRIABLE=FALSE\n");
    writeFile(dir.file("gioco.map"),
              "[CASA]\nDESCR=in casa\nNORTH=GIARDINO\nITEMS=pala, fantasma, masso\n"
              "[GIARDINO]\nDESCR=in giardino\nSOUTH=CASA\nITEMS=tesoro\n");
    writeFile(dir.file("gioco.dictionary"), "[ITEMS]\nDADO=\nTESORO=\nPALA=\nFANTASMA=\nMASSO=\n");
    writeFile(dir.file("gioco.actionset"), "");
    RunResult game = runZanfir({dir.file("gioco.zanfa")},
                               "Anna\nprendi dado\nprendi tesoro\nprendi fantasma\nprendi masso\n"
                               "lascia pala\nprendi pala\nnord\nprendi tesoro\nlascia pala\n");
    auto said = answers(game.out);
    ASSERT_EQ(said.size(), 9u) << game.out;
    EXPECT_EQ(said[0], "- Lo possiedi gia'.\n");         // carried from the start
    EXPECT_EQ(said[1], "- Qui non ne vedo.\n");          // in another place
    EXPECT_EQ(said[2], "Non essere ridicolo.\n");        // invisible
    EXPECT_EQ(said[3], "- Temo che sia impossibile.\n"); // not carriable
    EXPECT_EQ(said[4], "- Non ne possiedi.\n");
    EXPECT_EQ(said[5], "Fatto.\n");
    EXPECT_EQ(said[7], "- Qui non ne vedo.\n"); // here, but hidden
    EXPECT_EQ(said[8], "Fatto.\n");
}

// Events that name an item and a place are tried with the item made "*"
// before the place: specific handlers first, the catch-all last.
TEST_F(LanguageGameTest, EventsOfAnItemAndAPlaceInTheirOrder) {
    writeFile(dir.file("gioco.map"), "[CASA]\nDESCR=in casa\nITEMS=pala\n");
    // Each handler prints its key; they are declared most general first.
    std::string events = "[EVENTS]\n";
    for (const char* type :
         {"ITEM-LOCATION-EXIT", "LOCATION-ITEM-EXIT", "ITEM-LOCATION-ENTER", "LOCATION-ITEM-ENTER"})
        for (const char* names :
             {"*:*", "*:PALA", "*:CASA", "PALA:*", "CASA:*", "PALA:CASA", "CASA:PALA"})
            events += std::string(type) + ":" + names + "=\"" + type + " " + names + "\\n\"\n";
    writeFile(dir.file("gioco.actionset"), events);
    RunResult game = runZanfir({dir.file("gioco.zanfa")}, "Anna\nprendi pala\nlascia pala\n");
    EXPECT_EQ(game.err, "");
    auto said = answers(game.out);
    ASSERT_EQ(said.size(), 2u) << game.out;
    EXPECT_EQ(said[0], "ITEM-LOCATION-EXIT PALA:CASA\n"
                       "ITEM-LOCATION-EXIT *:CASA\n"
                       "ITEM-LOCATION-EXIT PALA:*\n"
                       "ITEM-LOCATION-EXIT *:*\n"
                       "LOCATION-ITEM-EXIT CASA:PALA\n"
                       "LOCATION-ITEM-EXIT CASA:*\n"
                       "LOCATION-ITEM-EXIT *:PALA\n"
                       "LOCATION-ITEM-EXIT *:*\n"
                       "Fatto.\n");
    EXPECT_EQ(said[1], "ITEM-LOCATION-ENTER PALA:CASA\n"
                       "ITEM-LOCATION-ENTER *:CASA\n"
                       "ITEM-LOCATION-ENTER PALA:*\n"
                       "ITEM-LOCATION-ENTER *:*\n"
                       "LOCATION-ITEM-ENTER CASA:PALA\n"
                       "LOCATION-ITEM-ENTER CASA:*\n"
                       "LOCATION-ITEM-ENTER *:PALA\n"
                       "LOCATION-ITEM-ENTER *:*\n"
                       "Fatto.\n");
}

} // namespace
