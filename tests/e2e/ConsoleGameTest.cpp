#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "TestSupport.h"

using namespace zanfir::test;

namespace {

const std::string BANNER = "Zanfir v. 1.00 - Interprete Java di avventure testuali\n"
                           "Avventure testuali in italiano, da soli alla console o insieme in "
                           "rete\n\n";
const std::string PROMPT = "\n\n\nCosa devo fare? ";

class ConsoleGameTest : public ::testing::Test {
protected:
    // A two-room adventure written for the test.
    std::string smallAdventure(const std::string& settings = "") {
        writeFile(dir.file("orto.zanfa"),
                  settings + "[BEGINNING]\nINTRO=Benvenuto.\nLOCATION=CUCINA\n");
        writeFile(dir.file("orto.dictionary"), "[IGNORE]\nARTICOLI=il, la\n[ITEMS]\nMELA=pomo\n");
        writeFile(dir.file("orto.inventory"), "[MELA]\nDESCR=una mela\n");
        writeFile(dir.file("orto.map"), "[CUCINA]\nDESCR=in cucina\nNORTH=ORTO\nITEMS=mela\n"
                                        "[ORTO]\nDESCR=nell'orto\nSOUTH=CUCINA\n");
        return dir.file("orto.zanfa");
    }

    TempDir dir;
};

TEST_F(ConsoleGameTest, ShortGameTranscript) {
    RunResult game =
        runZanfir({smallAdventure()}, "Anna\nprendi la mela\nnord\ncosa\nbasta\nsi\n\n");
    EXPECT_EQ(game.status, 0);
    EXPECT_EQ(game.err, "");
    EXPECT_EQ(game.out, BANNER + "\nQual'e' il tuo nome? " + "\n\nBenvenuto.\n" +
                            "\nSei in cucina.\nVedo una mela." + PROMPT + "\nFatto.\n" +
                            "\nSei in cucina." + PROMPT + "\n" + "\nSei nell'orto." + PROMPT +
                            "\nPossiedi:\n- una mela\n" + "\nSei nell'orto." + PROMPT +
                            "\n- Vuoi smettere di giocare? \n- Arrivederci!\n\n"
                            "- Premi <invio> per continuare... \n");
}

// A line is one command up to MaxLineBytes; a longer one runs nothing. Bytes
// that are no UTF-8 become U+FFFD and leave the letters after them whole.
TEST_F(ConsoleGameTest, LongLinesAndBadBytes) {
    std::string input = "Anna\nprendi" + std::string(300, ' ') + "la mela\n" +
                        std::string(5000, 'x') + "\n\xFE\xC3\x80\n";
    RunResult game = runZanfir({smallAdventure()}, input);
    EXPECT_EQ(game.status, 0);
    std::string after = game.out.substr(game.out.find("Vedo una mela." + PROMPT));
    EXPECT_EQ(after, "Vedo una mela." + PROMPT + "\nFatto.\n\nSei in cucina." + PROMPT +
                         "- La riga e' troppo lunga (piu' di 4096 byte): non ne ho fatto nulla.\n"
                         "Cosa devo fare? \n- Non conosco il verbo '\xEF\xBF\xBD\xC3\x80'.\n"
                         "\nSei in cucina." +
                         PROMPT);
    RunResult narrow = runZanfir({smallAdventure("MaxLineBytes=300\n")}, input);
    EXPECT_NE(narrow.out.find("(piu' di 300 byte)"), std::string::npos) << narrow.out;
}

TEST_F(ConsoleGameTest, InputEndingDuringTheLogin) {
    auto start = std::chrono::steady_clock::now();
    RunResult game = runZanfir({smallAdventure()}, "");
    EXPECT_EQ(game.status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(game.out.ends_with("\nQual'e' il tuo nome? ")) << game.out;
}

TEST_F(ConsoleGameTest, CrLfAndTheEndOfInput) {
    auto start = std::chrono::steady_clock::now();
    RunResult game = runZanfir({smallAdventure("ConsoleOutCRLF=true\n")}, "Anna\nnord");
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(game.status, 0);
    EXPECT_LT(took, std::chrono::seconds(3)); // ends with its input, not at a timeout
    EXPECT_TRUE(game.out.ends_with("\r\nSei nell'orto.\r\n\r\n\r\nCosa devo fare? ")) << game.out;
    EXPECT_EQ(game.out.find("\n\n"), BANNER.size() - 2); // only the banner uses bare LF
}

TEST_F(ConsoleGameTest, AFailureEndsTheGameAndIsReported) {
    // The unset X is the empty text, which is no number.
    std::string main = smallAdventure("LogPath=.\n");
    writeFile(dir.file("orto.actionset"), "[ACTIONS]\n*:PRENDI:MELA={if (0 == X) println 'No.'}\n");
    RunResult game = runZanfir({main, "-log"}, "Anna\nprendi la mela\nnord\n");
    EXPECT_EQ(game.status, 1);
    const std::string failure =
        "Eccezione ExpressionException: Conversione al tipo intero impossibile: 'X'";
    const std::string place = "orto.actionset:2 [ACTIONS] *:PRENDI:MELA";
    EXPECT_EQ(game.err, failure + "\n  in " + place + "\n");
    EXPECT_TRUE(game.out.ends_with("\nVedo una mela.\n\n\nCosa devo fare? \n")) << game.out;
    bool logged = false;
    for (const auto& row : logLines(dir.path()))
        logged =
            logged || row.find(" FAIL " + failure + " (in " + place + ")") != std::string::npos;
    EXPECT_TRUE(logged);

    // The text that failed is named, not the one that printed it.
    writeFile(dir.file("orto.actionset"),
              "[ACTIONS]\n*:PRENDI:MELA={MORSO.print}\n"
              "[MESSAGES]\n// the apple's answer\n"
              "MORSO=\"Un morso: \"\n  \"{if (0 == X) println 'No.'}\"\n");
    RunResult inner = runZanfir({main}, "Anna\nprendi la mela\n");
    EXPECT_EQ(inner.err, failure + "\n  in orto.actionset:5 [MESSAGES] MORSO\n");

    // A game that ends normally, also at the end of its input, says nothing.
    RunResult calm = runZanfir({main}, "Anna\nnord\n");
    EXPECT_EQ(calm.status, 0);
    EXPECT_EQ(calm.err, "");
}

// With -debug an author sees what each command ran: the phrase, the
// binding and where it is written, each condition and its value, each
// variable changed, each item or player moved, each event and its text.
TEST_F(ConsoleGameTest, TheAuthorsTrace) {
    std::string main = smallAdventure();
    writeFile(dir.file("orto.actionset"),
              "[ACTIONS]\n"
              "*:PRENDI:MELA={if (MORSI == 3) println 'Finita.'; else {MELA.take; MORSI++; "
              "STATO = 'presa'}}\n"
              "[EVENTS]\n"
              "LOCATION-ENTER:ORTO=Che profumo.\n");
    const std::string input = "Anna\nprendi la mela\nlascia il pomo\nnord\n";
    RunResult game = runZanfir({main, "-debug"}, input);
    EXPECT_EQ(game.status, 0);
    EXPECT_EQ(game.err, "[traccia] frase: PRENDI MELA\n"
                        "[traccia] azione: *:PRENDI:MELA in orto.actionset:2\n"
                        "[traccia] se (MORSI == 3): falso\n"
                        "[traccia] oggetto MELA: CUCINA -> (portato)\n"
                        "[traccia] variabile MORSI: (nessun valore) -> 1\n"
                        "[traccia] variabile STATO: (nessun valore) -> 'presa'\n"
                        "[traccia] frase: LASCIA MELA\n"
                        "[traccia] azione: *:LASCIA:*\n"
                        "[traccia] oggetto MELA: (portato) -> CUCINA\n"
                        "[traccia] frase: NORD\n"
                        "[traccia] azione: *:NORD\n"
                        "[traccia] giocatore: CUCINA -> ORTO\n"
                        "[traccia] evento: LOCATION-ENTER:ORTO in orto.actionset:4\n");
    // The game itself says the same as without the trace, which is off
    // unless asked for.
    RunResult plain = runZanfir({main}, input);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.out, game.out);
}

TEST_F(ConsoleGameTest, SaveAndLoadAcrossRuns) {
    std::string main = copyFixture("castello", dir);
    RunResult missing = runZanfir({main}, "mario\ncarica\n");
    EXPECT_NE(missing.out.find("\n- Non c'e' nessuna partita salvata da caricare.\n"),
              std::string::npos);

    RunResult first = runZanfir({main}, "mario\nprendi lanterna\nnord\nsalva\n");
    EXPECT_EQ(first.status, 0);
    EXPECT_NE(first.out.find("Cosa devo fare? \n- Partita salvata.\n"), std::string::npos);
    std::string saved = readFile(dir.file("mario.context"));
    EXPECT_NE(saved.find("\"format\": \"zanfir-context\""), std::string::npos) << saved;
    EXPECT_EQ(listDir(dir.path()).size(), 7u); // no temporary file left

    RunResult second = runZanfir({main}, "Mario\ncarica\ncosa\n");
    std::string out = second.out;
    auto loaded = out.find("Cosa devo fare? \n- Partita caricata.\n\nSei in una grande sala.");
    ASSERT_NE(loaded, std::string::npos) << out;
    EXPECT_NE(out.find("Possiedi:\n- una lanterna\n- una spada\n", loaded), std::string::npos);

    writeFile(dir.file("mario.context"), "{\"format\": \"zanfir-context\", \"vers");
    RunResult broken = runZanfir({main}, "mario\ncarica\n");
    EXPECT_NE(broken.out.find("\n- Errore durante l'accesso al file.\n"), std::string::npos);
    EXPECT_EQ(broken.status, 0);
}

TEST_F(ConsoleGameTest, SessionLogLines) {
    std::string main = copyFixture("castello", dir);
    RunResult game =
        runZanfir({main, "-log"}, "mario\nprendi la lanterna\nvola\napri tavolo\napri porta\n");
    EXPECT_EQ(game.status, 0);
    auto rows = logLines(dir.file("logs"));
    std::vector<std::string> session;
    for (const auto& row : rows)
        if (row.starts_with("Adventure [Mario]"))
            session.push_back(row.substr(31));
    EXPECT_EQ(session, (std::vector<std::string>{
                           "INFO Inizio avventura",
                           "INFO Comando: 'PRENDI LA LANTERNA'",
                           "INFO Frase: 'PRENDI LANTERNA'",
                           "INFO Azione risolta: '*:PRENDI:*'",
                           "INFO Comando: 'VOLA'",
                           "WARN Verbo sconosciuto: 'VOLA'",
                           "INFO Comando: 'APRI TAVOLO'",
                           "WARN Parola sconosciuta: 'TAVOLO'",
                           "INFO Comando: 'APRI PORTA'",
                           "INFO Frase: 'APRI PORTA'",
                           "WARN Azione non risolta",
                           "INFO Termine avventura",
                       }));
}

TEST_F(ConsoleGameTest, WordsThatNameNoItemAreAnswered) {
    // PIANO is an item word of the dictionary, but no item has that name.
    std::string main = copyFixture("castello", dir);
    RunResult game = runZanfir({main}, "mario\nprendi piano\nguarda piano\nlascia piano\n"
                                       "parla piano\nguarda lanterna\n");
    EXPECT_EQ(game.status, 0);
    std::string answers;
    for (const auto& line : lines(game.out))
        if (line.starts_with("- ") || line.starts_with("Parlare") || line.starts_with("Una "))
            answers += line + "\n";
    EXPECT_EQ(answers, "- Qui non ne vedo.\n- Qui non ne vedo.\n- Non ne possiedi.\n"
                       "Parlare da soli e' il primo sintomo della follia.\n"
                       "Una vecchia lanterna a olio.\n");
}

TEST_F(ConsoleGameTest, BundledAdventureWalkthrough) {
    RunResult game = runZanfir(
        {copyFixture("torre", dir, true)},
        "Anna\nleggi la vecchia mappa\nest\nguarda il mucchio di foglie\ncerca tra le foglie\n"
        "prendi la chiave\novest\nnord\nprendi i fiammiferi\nscendi\nprendi il lume\nsali\n"
        "sali\nsali\napri la porta\nsalva\nsali\nsuona la campana\nsuona campana\n"
        "suona campana\nappendi la lanterna\nprendi lanterna\ncosa\nattendi\nparla\n"
        "usa i fiammiferi\nguarda la lanterna\nappendi la lanterna\n\n");
    EXPECT_EQ(game.status, 0);
    EXPECT_EQ(game.err, "");
    for (const char* step :
         {"dorme sotto le foglie", "Senti il fruscio delle foglie",
          "Sotto le foglie trovi una chiave arrugginita!", "Appesa a un gancio arrugginito",
          "più leggera", "La porticina è chiusa a chiave.", "la porticina si apre.",
          "Il vento ti scompiglia i capelli.", "Dong!", "un colpo di vento",
          "Fatto. Ma una lanterna spenta", "- una vecchia mappa", "D'accordo...", "Parlare da soli",
          "si accende con una fiamma calda", "Brucia con una",
          "Hai finito l'avventura con 4 punti su 4."})
        EXPECT_NE(game.out.find(step), std::string::npos) << step;
    EXPECT_EQ(game.out.find("Non capisco"), std::string::npos) << game.out;
    EXPECT_EQ(game.out.find("Non conosco"), std::string::npos) << game.out;
    EXPECT_TRUE(game.out.ends_with(
        "- ANNULLA l'ultima mossa, CARICA la partita salvata, RICOMINCIA o BASTA? \n\n"))
        << game.out.substr(game.out.size() - 200);

    // The game saved on the stairs goes on from there.
    RunResult again = runZanfir({dir.file("torre.zanfa")}, "Anna\ncarica\nsali\n");
    EXPECT_NE(again.out.find("Il vento ti scompiglia i capelli."), std::string::npos);
}

// The mine played along its walkthrough's route, but opening the letter
// instead of reading it and leaving out the prayer and the washing.
TEST_F(ConsoleGameTest, TheBundledMineAsANewPlayerMeetsIt) {
    std::string main = copyFixture("miniera", dir, true);
    std::string route;
    for (const auto& line : lines(readFile(dir.file("miniera.walkthrough")))) {
        if (!line.starts_with(">"))
            continue;
        std::string command = line.substr(line.starts_with("> ") ? 2 : 1);
        if (command == "leggi la lettera")
            command = "apri la lettera";
        if (command != "prega" && command != "lava la statua")
            route += command + "\n";
    }
    RunResult game = runZanfir({main}, route);
    EXPECT_EQ(game.status, 0);
    std::string out = game.out;
    auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(has("Il notaio ti ha\nconsegnato una lettera chiusa")) << out;
    EXPECT_TRUE(has("\n«Caro nipote,\n"));
    // What comes out of the chest is carried.
    EXPECT_TRUE(has("Possiedi:\n- la lettera del nonno\n- una scatola di fiammiferi\n"
                    "- un palanchino di ferro\n- una grossa chiave di ferro\n"
                    "- l'elmetto del nonno\n"));
    // The matches given back are thanked for, not watched over.
    EXPECT_TRUE(has("«Grazie! Sei di parola, come il Bortolo.»"));
    EXPECT_FALSE(has("Lo tengo d'occhio io"));
    // Gustavo asks after the prayer; the ending names both points missed.
    EXPECT_TRUE(has("l'hai detta una preghiera per\ni compagni del Bortolo?"));
    EXPECT_TRUE(has("Hai finito l'avventura con 8 punti su 10, in 76 mosse.\n"
                    "Per avere tutti i punti, avresti dovuto anche:\n"
                    "- pregare davanti all'altare del santuario\n"
                    "- lavare la statuetta, prima di riportarla\n"
                    "Grazie per aver giocato!\n"))
        << out.substr(out.size() - 600);
}

// What a new player types first is understood: I and L alone, the items
// the texts name, both lamps at once, each named.
TEST_F(ConsoleGameTest, TheBundledMineUnderstandsWhatItShows) {
    std::string main = copyFixture("miniera", dir, true);
    std::string route = "Anna\ni\nl\ne\nprendi la scatola\nguarda il bancone\nguarda i bicchieri\n";
    for (const auto& line : lines(readFile(dir.file("miniera.walkthrough")))) {
        if (line == "> prendi la lampada")
            break;
        if (line.starts_with("> ") && line != "> Anna" && line != "> prendi i fiammiferi")
            route += line.substr(2) + "\n";
    }
    route += "prendi le lampade\nlascia le lampade\nprendi le lampade\n";
    RunResult game = runZanfir({main}, route);
    std::string out = game.out;
    auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_EQ(out.find("Beh?"), std::string::npos) << out;
    EXPECT_EQ(out.find("Non conosco"), std::string::npos) << out;
    EXPECT_TRUE(has("Cosa devo fare? \nPossiedi:\n- la lettera del nonno\n"));
    EXPECT_TRUE(has("Cosa devo fare? \nSei sulla piccola piazza di Pietracava"));
    EXPECT_TRUE(has("«Quelli poi riportameli, eh!» ti dice Gustavo.\nFatto."));
    EXPECT_TRUE(has("Un bancone di castagno"));
    EXPECT_TRUE(has("Bicchieri spessi da osteria"));
    const std::string both = "La lampada a carburo: Fatto.\nLa lampada di sicurezza: Fatto.\n";
    auto taken = out.find(both);
    ASSERT_NE(taken, std::string::npos) << out.substr(out.size() - 1500);
    auto dropped = out.find(both, taken + 1);
    ASSERT_NE(dropped, std::string::npos);
    EXPECT_NE(out.find(both, dropped + 1), std::string::npos);
}

// Moves taken back, several deep, and repeated, with the score's count of
// moves taken back with them.
TEST_F(ConsoleGameTest, MovesTakenBackAndRepeated) {
    std::string main = copyFixture("miniera", dir, true);
    RunResult game = runZanfir({main}, "Anna\nannulla\ne\nprendi i fiammiferi\nannulla\ncosa\n"
                                       "prendi i fiammiferi\ng\ng\nannulla\nannulla\nannulla\n"
                                       "cosa\nannulla\nannulla\nannulla\npunteggio\n");
    EXPECT_EQ(game.status, 0);
    auto answers = lines(game.out);
    auto count = [&](const std::string& line) {
        return std::count(answers.begin(), answers.end(), line);
    };
    EXPECT_EQ(count("- Non c'e' niente da annullare."), 1);
    EXPECT_EQ(count("- Fatto: l'ultimo comando e' annullato."), 7);
    EXPECT_EQ(count("- Lo possiedi gia'."), 2) << game.out; // the taking, twice repeated
    EXPECT_EQ(count("- una scatola di fiammiferi"), 0);     // never carried when asked
    EXPECT_EQ(count("Possiedi:"), 2);
    auto last = game.out.rfind("- Fatto: l'ultimo comando e' annullato.");
    EXPECT_NE(game.out.find("Sei sulla piazza di Pietracava.", last), std::string::npos);
    EXPECT_NE(game.out.find("Hai 0 punti su 10, dopo 2 mosse.", last), std::string::npos);

    // As deep as the main file says.
    writeFile(main, "UndoLevels=1\n" + readFile(main));
    game = runZanfir({main}, "Anna\ne\nprendi i fiammiferi\nannulla\nannulla\ncosa\n");
    answers = lines(game.out);
    EXPECT_EQ(count("- Fatto: l'ultimo comando e' annullato."), 1);
    EXPECT_EQ(count("- Non c'e' niente da annullare."), 1);
    EXPECT_NE(game.out.find("Sei nell'osteria", game.out.rfind("- Non c'e' niente")),
              std::string::npos)
        << game.out;
}

} // namespace
