#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "TestSupport.h"

using namespace zanfir::test;

namespace {

RunResult check(const std::string& adventure) {
    return runProgram(ZANFIR_CHECK_BIN, {adventure});
}

RunResult play(const std::string& adventure, const std::string& script,
               const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{adventure, script};
    args.insert(args.end(), more.begin(), more.end());
    return runProgram(ZANFIR_SCRIPT_BIN, args, "", "", std::chrono::seconds(60));
}

void append(const std::string& path, const std::string& text) {
    writeFile(path, readFile(path) + text);
}

void replace(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = readFile(path);
    auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    writeFile(path, text.replace(at, from.size(), to));
}

bool hasLine(const std::string& out, const std::string& line) {
    for (const auto& each : lines(out))
        if (each == line)
            return true;
    return false;
}

} // namespace

TEST(CheckerTest, BundledAndTestAdventuresAreClean) {
    // What a test's adventure holds on purpose, to test the loader with.
    const std::map<std::string, std::string> meant = {
        {"castello",
         "castello.dictionary:9: errore: [VERBS] VAI: parola di due nomi: 'NORD' e' gia' di NORD, "
         "un verbo del gioco: i comandi la leggono come uno solo dei due\n"
         "castello.inventory:15: avviso: [SCUDO]: oggetto senza DESCR: il gioco lo mostra col suo "
         "nome tra apici: 'scudo'\n"
         "1 errore, 1 avviso\n"},
    };
    for (bool bundled : {true, false}) {
        for (const auto& entry : std::filesystem::directory_iterator(fixture("", bundled))) {
            std::string name = entry.path().filename().string();
            RunResult run = check(fixture(name, bundled) + "/" + name + ".zanfa");
            auto odd = bundled ? meant.end() : meant.find(name);
            EXPECT_EQ(run.out, odd == meant.end() ? "nessun problema trovato\n" : odd->second)
                << name;
            EXPECT_EQ(run.status, odd == meant.end() ? 0 : 1) << name;
        }
    }
}

TEST(CheckerTest, ReportsEveryPlantedErrorWithItsPlace) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    replace(dir.file("torre.zanfa"), "LOCATION=PRATO", "LOCATION=PRATONE");
    replace(dir.file("torre.map"), "EAST=BOSCO", "EAST=BOSCHETTO");
    replace(dir.file("torre.map"), "ITEMS=campana, vento", "ITEMS=campanna, vento");
    replace(dir.file("torre.map"), "DESCR=in cantina", "DESC=in cantina");
    replace(dir.file("torre.dictionary"), "PREPOSIZIONI=a,", "PREPOSIZIONI=su, a,");
    replace(dir.file("torre.map"), "goto CIMA;", "goto CIME;");
    replace(dir.file("torre.map"), "PRENDI:FOGLIE={@BOSCO:CERCA:FOGLIE}",
            "PRENDI:FOGLIE={@BOSCO:CERCA:RAMI}");
    append(dir.file("torre.map"), "\n[GROTTA.NORD]\nDESCR=in una grotta\n"
                                  "[FANTASMA/ACTIONS]\nGUARDA=Nessuno legge questa sezione.\n");
    append(dir.file("torre.inventory"), "\n[SCUDO]\nDESCR=uno scudo\n"
                                        "[ENDIVIA]\nCARRIED=TRUE\n");
    append(dir.file("torre.actionset"),
           "\n[ACTIONS]\n"
           "*:SUONA:TROMBA=Tuuu.\n"         // word unknown
           "*:USA:MAPPA={@*:LEGGI:TORRE}\n" // nobody serves it
           "*:USA:CAMPANA={@*:SUONA:*}\n"   // served by the bell's own
           "*:GUARDA:CAMPANA={NUVOLE.print; SPADA.hide; ELMO.goto PRATO; MAPPA.goto LAGO}\n"
           "*:GUARDA:LANTERNA={if (X == 1) println 'a'\n" // unbalanced
           "*:FLAUTA:TORRE=Verbo sconosciuto.\n"
           "PIAZZA:GUARDA=Nessuna piazza.\n"
           "*:GUARDA:FIAMMIFERI={if (USER.INVENTORY.CHIAVETTA) println 'x'; "
           "else {if (USER.LOCATION == 'CIME') println 'y'}}\n"
           "*:USA:TORRE={if (PORTA_APERTA) println 'a' else println 'b'}\n"
           "[EVENTS]\n"
           "LOCATION-ENTRA:CIMA=Evento sconosciuto.\n"
           "ITEM-PRENDI:LANTERNA=Un evento che il gioco non lancia mai.\n"
           "ITEM-TAKE:SPADA=Spada.\n"
           "ITEM-LOCATION-ENTER:MAPPA:LAGO=Lago.\n"
           "[MESSAGES]\n"
           "GUARDA=Un messaggio che rompe le parentesi {\n");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    // File by file, line by line, as compilers tell theirs (a line after a
    // value written over several lines counts them all).
    const std::string expected =
        "torre.zanfa:20: errore: [BEGINNING] LOCATION: luogo inesistente: 'PRATONE'\n"
        "torre.inventory:37: errore: [CAMPANA]: l'oggetto non sta in nessun luogo: nessun ITEMS "
        "lo elenca, non e' CARRIED e nessuna azione lo sposta\n"
        "torre.inventory:49: errore: [SCUDO]: l'oggetto non sta in nessun luogo: nessun ITEMS lo "
        "elenca, non e' CARRIED e nessuna azione lo sposta\n"
        // A name that commands would misread is a warning.
        "torre.inventory:51: avviso: [ENDIVIA]: oggetto senza DESCR: il gioco lo mostra col suo "
        "nome tra apici: 'endivia'\n"
        "torre.inventory:51: avviso: [ENDIVIA]: in un comando (NOME.print, NOME.take...) questo "
        "nome sarebbe letto come 'end'\n"
        "torre.map:9: errore: [PRATO] EAST: luogo inesistente: 'BOSCHETTO'\n"
        "torre.map:23: errore: [BOSCO/ACTIONS] PRENDI:FOGLIE: parola che il dizionario non "
        "conosce: 'RAMI'\n"
        "torre.map:35: errore: [CANTINA] DESC: variabile sconosciuta, forse 'DESCR'\n"
        "torre.map:50: errore: [SCALA/ACTIONS] ALTO: luogo inesistente: 'CIME'\n"
        "torre.map:62: errore: [CIMA] ITEMS: oggetto che l'inventario non dichiara, forse "
        "'CAMPANA'\n"
        "torre.map:86: errore: [GROTTA.NORD]: nome con un punto: lo stato della partita non lo "
        "potrebbe registrare\n"
        "torre.map:88: errore: [FANTASMA/ACTIONS]: sezione che il caricatore ignora\n"
        "torre.actionset:13: errore: [ACTIONS] *:SUONA:TROMBA: parola che il dizionario non "
        "conosce: 'TROMBA'\n"
        "torre.actionset:14: errore: [ACTIONS] *:USA:MAPPA: riferimento che nessuna azione serve: "
        "'@*:LEGGI:TORRE'\n"
        "torre.actionset:16: errore: [ACTIONS] *:GUARDA:CAMPANA: messaggio non dichiarato: "
        "'NUVOLE'\n"
        "torre.actionset:16: errore: [ACTIONS] *:GUARDA:CAMPANA: oggetto inesistente: 'SPADA'\n"
        "torre.actionset:16: errore: [ACTIONS] *:GUARDA:CAMPANA: oggetto inesistente: 'ELMO'\n"
        "torre.actionset:16: errore: [ACTIONS] *:GUARDA:CAMPANA: luogo inesistente: 'LAGO'\n"
        "torre.actionset:17: errore: [ACTIONS] *:GUARDA:LANTERNA: parantesi non bilanciate\n"
        "torre.actionset:18: errore: [ACTIONS] *:FLAUTA:TORRE: Verbo non definito: 'FLAUTA'\n"
        "torre.actionset:19: errore: [ACTIONS] PIAZZA:GUARDA: luogo inesistente: 'PIAZZA'\n"
        "torre.actionset:20: errore: [ACTIONS] *:GUARDA:FIAMMIFERI: oggetto inesistente: "
        "'CHIAVETTA'\n"
        "torre.actionset:20: errore: [ACTIONS] *:GUARDA:FIAMMIFERI: luogo inesistente: 'CIME'\n"
        "torre.actionset:21: errore: [ACTIONS] *:USA:TORRE: manca il ';' prima di 'else': il "
        "comando dell'if lo ingloba e l'else non viene mai eseguito: 'println 'a' else'\n"
        "torre.actionset:23: errore: [EVENTS] LOCATION-ENTRA:CIMA: tipo di evento sconosciuto: "
        "'LOCATION-ENTRA'\n"
        "torre.actionset:24: errore: [EVENTS] ITEM-PRENDI:LANTERNA: tipo di evento sconosciuto: "
        "'ITEM-PRENDI'\n"
        "torre.actionset:25: errore: [EVENTS] ITEM-TAKE:SPADA: oggetto inesistente: 'SPADA'\n"
        "torre.actionset:26: errore: [EVENTS] ITEM-LOCATION-ENTER:MAPPA:LAGO: luogo inesistente: "
        "'LAGO'\n"
        "torre.actionset:28: errore: [MESSAGES] GUARDA: parantesi non bilanciate\n"
        "27 errori, 2 avvisi\n";
    EXPECT_EQ(run.out, expected);
}

// What the game never reads, an else its if swallows, words the commands
// drop: each only where it goes wrong.
TEST(CheckerTest, VariablesElsesAndIgnoredWords) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    replace(dir.file("torre.zanfa"), "LOCATION=PRATO", "LOCATION=PRATO\nLOCAZIONE=PRATO");
    replace(dir.file("torre.map"), "ITEMS=campana, vento",
            "ITEMS=campana, vento\nNORD=SCALA\nLONG=in cima\nNOTE=un appunto\n"
            "PORTA_APERTA=false");
    replace(dir.file("torre.inventory"), "HIDDEN=TRUE", "HIDDEN=TRUE\nHIDEN=TRUE");
    replace(dir.file("torre.inventory"), "LOOK-DESCR=Fiammiferi un po' umidi",
            "LOOK-DESCR=Fiammiferi{if (BAGNATI) print ' bagnati' else print ' asciutti'}");
    replace(dir.file("torre.inventory"), "DESCR=una piccola campana",
            "DESCR=una piccola campana\nSYNONYMS=campana a martello, campanaccio");
    replace(dir.file("torre.dictionary"), "ARTICOLI=il,", "ARTICOLI=edificio, lentamente, il,");
    replace(dir.file("torre.dictionary"), "CAMPANA=campanella",
            "CAMPANA=campanella, campana di bronzo");
    append(
        dir.file("torre.actionset"),
        "\n[ACTIONS]\n"
        "*:USA:TORRE={if (A) LANTERNA.hide ELSE LANTERNA.unhide}\n"
        "*:USA:CAMPANA={if (A) if (B) X = 1 else X = 2}\n"
        // Nothing wrong from here on.
        "*:USA:LANTERNA={if (A) {println 'a'} else println 'b'}\n"
        "*:USA:PORTA={if (A) println 'Or else niente'; else println 'b'}\n"
        "*:USA:CHIAVE={if (A) if (B) {println 'a'} else println 'b'}\n"
        "*:USA:MAPPA={if (A) println ELSEWHERE + ' ' + X.ELSE}\n"
        "*:ATTENDI:TORRE={A = true; B = false; USER.VARIABLES.ELSEWHERE = 'x'; BAGNATI = true}\n");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "torre.zanfa:21: errore: [BEGINNING] LOCAZIONE: variabile sconosciuta, forse "
              "'LOCATION'\n"
              "torre.dictionary:6: errore: [IGNORE] ARTICOLI: parola da ignorare che e' anche una "
              "parola di oggetto (i comandi la scartano sempre): 'EDIFICIO'\n"
              "torre.dictionary:6: errore: [IGNORE] ARTICOLI: parola da ignorare che e' anche un "
              "avverbio (i comandi la scartano sempre): 'LENTAMENTE'\n"
              "torre.dictionary:37: errore: [ITEMS] CAMPANA: sinonimo con una parola da ignorare, "
              "che i comandi scartano: nessuno lo puo' scrivere: 'CAMPANA DI BRONZO'\n"
              "torre.inventory:19: errore: [FIAMMIFERI] LOOK-DESCR: manca il ';' prima di 'else': "
              "il comando dell'if lo ingloba e l'else non viene mai eseguito: 'print ' bagnati' "
              "else'\n"
              "torre.inventory:25: errore: [CHIAVE] HIDEN: variabile sconosciuta, forse 'HIDDEN'\n"
              "torre.inventory:40: errore: [CAMPANA] SYNONYMS: sinonimo con una parola da "
              "ignorare, che i comandi scartano: nessuno lo puo' scrivere: 'CAMPANA A MARTELLO'\n"
              "torre.map:63: errore: [CIMA] NORD: variabile sconosciuta, forse 'NORTH'\n"
              "torre.map:64: errore: [CIMA] LONG: variabile sconosciuta, forse 'LONG-DESCR'\n"
              // A name no exit resembles is a warning, and so is a player's
              // variable: the game reads neither here.
              "torre.map:65: avviso: [CIMA] NOTE: variabile che il gioco non legge\n"
              "torre.map:66: avviso: [CIMA] PORTA_APERTA: variabile che il gioco non legge: le "
              "azioni usano la variabile del giocatore con questo nome, che questo valore non "
              "imposta\n"
              "torre.actionset:13: errore: [ACTIONS] *:USA:TORRE: manca il ';' prima di 'else': il "
              "comando dell'if lo ingloba e l'else non viene mai eseguito: 'LANTERNA.hide ELSE'\n"
              "torre.actionset:14: errore: [ACTIONS] *:USA:CAMPANA: manca il ';' prima di 'else': "
              "il comando dell'if lo ingloba e l'else non viene mai eseguito: 'X = 1 else'\n"
              "11 errori, 2 avvisi\n");
}

// A word given to two names is read as one of them only: a synonym of two
// items, of a verb and another verb, an item's synonym that is another
// item's name, a verb of the game's.
TEST(CheckerTest, WordsOfTwoNames) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    replace(dir.file("torre.dictionary"), "GUARDA=esamina, osserva",
            "GUARDA=esamina, osserva, suona, salva");
    replace(dir.file("torre.dictionary"), "CAMPANA=campanella", "CAMPANA=campanella, lume");
    // Said as two items, "chiave porta" is the tower: a warning.
    replace(dir.file("torre.dictionary"), "TORRE=edificio", "TORRE=edificio, chiave porta");
    replace(dir.file("torre.inventory"), "HIDDEN=TRUE", "HIDDEN=TRUE\nSYNONYMS=porta, chiave");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "torre.dictionary:17: errore: [VERBS] GUARDA: parola di due nomi: 'SUONA' e' gia' di "
              "SUONA (torre.dictionary:14): i comandi la leggono come uno solo dei due\n"
              "torre.dictionary:17: errore: [VERBS] GUARDA: parola di due nomi: 'SALVA' e' gia' di "
              "SALVA, un verbo del gioco: i comandi la leggono come uno solo dei due\n"
              "torre.dictionary:36: avviso: [ITEMS] TORRE: sinonimo fatto di parole di altri "
              "oggetti: 'CHIAVE PORTA' si legge sempre come TORRE, mai come gli oggetti delle sue "
              "parole\n"
              "torre.dictionary:37: errore: [ITEMS] CAMPANA: parola di due nomi: 'LUME' e' gia' di "
              "LANTERNA (torre.dictionary:31): i comandi la leggono come uno solo dei due\n"
              "torre.inventory:25: errore: [CHIAVE] SYNONYMS: parola di due nomi: 'PORTA' e' gia' "
              "di PORTA (torre.dictionary:34): i comandi la leggono come uno solo dei due\n"
              "4 errori, 1 avviso\n");
}

// A variable read but set nowhere, and comparisons that stop the game when
// they run; each where it is written, a name plainly meant named.
TEST(CheckerTest, VariablesNeverSetAndComparisonsThatStopTheGame) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    append(dir.file("torre.actionset"),
           "\n[ACTIONS]\n"
           "*:ATTENDI:TORRE={GIRI = 0; GIRI++; NOME = 'Anna'; ACCESA = ask 'Accendi? '; "
           "STATO = 'chiuso'; STATO = 0}\n"
           "*:USA:TORRE={println 'Hai ' + PUNTII + ' punti.'}\n"
           "*:USA:MAPPA={if (LUME_ACCESSO) println 'Luce.'}\n"
           "*:USA:CAMPANA={if (GIRI == 'tre') println 'Tre.'}\n"
           "*:USA:CHIAVE={if ((3 == GIRI) && (ACCESA)) println 'Tre.'}\n"
           // Nothing wrong from here on.
           "*:USA:PORTA={if (NOME == 'Anna') println 'Ciao.'; if (GIRI >= 3) println 'x'; "
           "if ('a' == NOME) println 'y'; if (3 == 3) X = NOME; if (STATO == 'chiuso') X = 1}\n");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "torre.actionset:14: errore: [ACTIONS] *:USA:TORRE: variabile letta ma mai "
              "impostata: 'PUNTII', forse 'PUNTI'\n"
              "torre.actionset:15: errore: [ACTIONS] *:USA:MAPPA: variabile letta ma mai "
              "impostata: 'LUME_ACCESSO'\n"
              "torre.actionset:16: errore: [ACTIONS] *:USA:CAMPANA: testo confrontato con un "
              "numero: la variabile 'GIRI' ha sempre un numero, e il gioco si ferma "
              "confrontandola con 'tre'\n"
              "torre.actionset:17: errore: [ACTIONS] *:USA:CHIAVE: numero a sinistra di un "
              "confronto: '3' con 'GIRI': il gioco si ferma quando la variabile non ha un numero "
              "(finche' non e' impostata, per esempio); scrivi prima la variabile\n"
              "4 errori\n");
}

// Texts the parser reads otherwise than the author wrote them, said in
// plain words.
TEST(CheckerTest, TextsThatReadOtherwise) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    append(dir.file("torre.actionset"),
           "\n[ACTIONS]\n"
           "*:USA:TORRE={println 'Uno; due'}\n"
           "*:USA:MAPPA=Un testo } di troppo.\n"
           "*:USA:CAMPANA={print 'Ciao}\n"
           "*:USA:PORTA={ENDLETTO = true}\n"
           "*:SALTA:TORRE={if (PUNTI) {PUNTI++; print 'Sì; ancora.'}}\n"
           "*:SALTA:MAPPA={PRINTED = true}\n"
           // Nothing wrong here: quotes inside a text are apostrophes.
           "*:USA:CHIAVE={print 'L'acqua e' fredda'; println 'Uno, due'; if (A) println 'x'; "
           "A = true; goto PRATO}\n");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "torre.actionset:13: errore: [ACTIONS] *:USA:TORRE: un ';' dentro il testo tra "
              "apici chiude il comando e lo spezza in due: 'println 'Uno' e 'due''; scrivi il "
              "testo senza ';' (per esempio con una virgola)\n"
              "torre.actionset:14: errore: [ACTIONS] *:USA:MAPPA: '}' che non chiude nessun "
              "blocco: il gioco lo stampa come testo\n"
              "torre.actionset:15: errore: [ACTIONS] *:USA:CAMPANA: testo senza uno dei due apici: "
              "il gioco non lo stampa: ''Ciao'\n"
              "torre.actionset:16: errore: [ACTIONS] *:USA:PORTA: il comando 'ENDLETTO = true' "
              "comincia come 'end' e il gioco lo legge cosi': dai alla variabile, all'oggetto o "
              "al messaggio un altro nome\n"
              "torre.actionset:17: errore: [ACTIONS] *:SALTA:TORRE: un ';' dentro il testo tra "
              "apici chiude il comando e lo spezza in due: 'print 'Sì' e 'ancora.''; scrivi il "
              "testo senza ';' (per esempio con una virgola)\n"
              "torre.actionset:18: errore: [ACTIONS] *:SALTA:MAPPA: il comando 'PRINTED = true' "
              "comincia come 'print' e il gioco lo legge cosi': dai alla variabile, all'oggetto o "
              "al messaggio un altro nome\n"
              "6 errori\n");
}

// Each kind of misspelling the checker names: a letter missing, one too
// many, one changed, two swapped, two apart in a long name, a name cut
// short or run on, a direction as it is typed. Names like none stay notes.
TEST(CheckerTest, EveryKindOfMisspellingIsNamed) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    replace(dir.file("torre.inventory"), "HIDDEN=TRUE",
            "HIDDEN=TRUE\nCARIABLE=TRUE\nVISIBBLE=TRUE\nHIDDEM=TRUE\nDESCRIPTION=una chiave\n"
            "ZAINO=pieno");
    replace(dir.file("torre.map"), "ITEMS=campana, vento",
            "ITEMS=campana, vento\nITMES=vento\nUQ=SCALA\nDESCRR=in cima\nLONG-DECKR=alta");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::pair<std::string, std::string>> misspelt = {
        {"torre.inventory:25: errore: [CHIAVE] CARIABLE", "CARRIABLE"},
        {"torre.inventory:26: errore: [CHIAVE] VISIBBLE", "VISIBLE"},
        {"torre.inventory:27: errore: [CHIAVE] HIDDEM", "HIDDEN"},
        {"torre.inventory:28: errore: [CHIAVE] DESCRIPTION", "DESCR"},
        {"torre.map:63: errore: [CIMA] ITMES", "ITEMS"},
        {"torre.map:65: errore: [CIMA] DESCRR", "DESCR"},
        {"torre.map:66: errore: [CIMA] LONG-DECKR", "LONG-DESCR"},
    };
    for (const auto& [where, meant] : misspelt) {
        std::string line = where + ": variabile sconosciuta, forse '" + meant + "'";
        EXPECT_TRUE(hasLine(run.out, line)) << line << "\n---\n" << run.out;
    }
    EXPECT_TRUE(hasLine(run.out, "torre.inventory:29: avviso: [CHIAVE] ZAINO: variabile che il "
                                 "gioco non legge"));
    EXPECT_TRUE(
        hasLine(run.out, "torre.map:64: avviso: [CIMA] UQ: variabile che il gioco non legge"));
    EXPECT_EQ(lines(run.out).back(), std::to_string(misspelt.size()) + " errori, 2 avvisi");
}

TEST(CheckerTest, WarningsAloneAreNoFailure) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    append(dir.file("torre.map"), "\n[SOFFITTA]\nDESCR=in soffitta\nDOWN=PRATO\n");
    append(dir.file("torre.actionset"), "\n[MESSAGES]\nDIMENTICATO=Nessuno mi stampa.\n"
                                        "[ACTIONS]\n*:GUARDA:TORRE=Copiata e mai cambiata.\n");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "torre.map:86: avviso: [SOFFITTA]: nessuna uscita porta qui dal luogo di "
                       "partenza (forse un'azione lo fa)\n"
                       "torre.actionset:13: avviso: [MESSAGES] DIMENTICATO: messaggio che nessun "
                       "testo usa\n"
                       "torre.actionset:15: avviso: [ACTIONS] *:GUARDA:TORRE: scritto una seconda "
                       "volta: vale quest'ultimo valore\n"
                       "3 avvisi\n");

    // A place reached only by a "goto" is no note.
    append(dir.file("torre.actionset"), "*:SALTA:TORRE={goto SOFFITTA}\n"
                                        "*:ATTENDI:TORRE={DIMENTICATO.exec}\n");
    run = check(main);
    EXPECT_EQ(run.out, "torre.actionset:15: avviso: [ACTIONS] *:GUARDA:TORRE: scritto una "
                       "seconda volta: vale quest'ultimo valore\n1 avviso\n");
}

// The settings are held to the settings' table: a misspelt name, a value
// the setting cannot take, a setting written where nothing reads it.
TEST(CheckerTest, SettingsAreHeldToTheirTable) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    replace(dir.file("torre.zanfa"), "RowLength=80\n",
            "RowLenght=60\nWebPort=abc\nCheckpointSeconds=-5\nColore=blu\nJournalBytes=\n");
    replace(dir.file("torre.zanfa"), "LogLevel=INFO", "LogLevel=tutto");
    replace(dir.file("torre.zanfa"), "LOCATION=PRATO", "LOCATION=PRATO\nwebport=8080");
    RunResult run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "torre.zanfa:3: errore: ROWLENGHT: impostazione sconosciuta, forse 'RowLength'\n"
              "torre.zanfa:4: errore: WEBPORT: 'abc' non e' un numero intero; uso 0\n"
              "torre.zanfa:5: errore: CHECKPOINTSECONDS: -5 e' meno di 1; uso 60\n"
              "torre.zanfa:6: avviso: COLORE: impostazione sconosciuta: il gioco non la legge\n"
              "torre.zanfa:12: errore: LOGLEVEL: 'tutto' non e' uno fra INFO, WARN, FAIL; uso "
              "INFO\n"
              "torre.zanfa:25: errore: [BEGINNING] WEBPORT: impostazione dentro una sezione: il "
              "gioco legge le impostazioni solo in cima al file, prima di ogni sezione\n"
              "5 errori, 1 avviso\n");
}

TEST(CheckerTest, FilesItCannotReadAndBadCommandLines) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    std::filesystem::remove(dir.file("torre.actionset")); // optional: its messages are missed
    EXPECT_EQ(check(main).out.find("inesistente: '" + dir.file("torre.actionset")),
              std::string::npos);
    std::filesystem::remove(dir.file("torre.inventory"));
    RunResult run = check(dir.file("torre")); // ".zanfa" may be left out
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "torre.inventory: errore: File di definizione inesistente: '" +
                           dir.file("torre.inventory") + "'\n1 errore\n");

    std::filesystem::copy_file(fixture("torre", true) + "/torre.inventory",
                               dir.file("torre.inventory"));
    append(dir.file("torre.map"), "NOTE=\"una virgoletta senza fine\n");
    run = check(main);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "torre.map:85: errore: [EVENTS] NOTE: Errore di sintassi nella linea del "
                       "file di definizione: 'NOTE=\"una virgoletta senza fine'\n1 errore\n");

    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {dir.file("nessuna.zanfa")}, {main, "-debug"}}) {
        run = runProgram(ZANFIR_CHECK_BIN, args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "Sintassi: zanfir-check <avventura>.zanfa\n");
    }
}

TEST(ScriptedGameTest, PassesOrReportsTheFirstDifferenceInContext) {
    TempDir dir;
    const std::string adventure = fixture("torre", true) + "/torre.zanfa";
    writeFile(dir.file("ok.txt"), "~ Interprete\n"
                                  "...\n"
                                  "Qual'e' il tuo nome?\n"
                                  "> Anna\n"
                                  "LA TORRE\n"
                                  "...\n"
                                  "> nord\n"
                                  "Sei nell'ingresso della torre. Una scala di pietra sale "
                                  "verso l'alto; una\n"
                                  "botola nel pavimento scende in cantina. L'uscita è a sud.\n"
                                  "Vedo una scatola di fiammiferi.\n"
                                  "> salva\n"
                                  "> basta\n"
                                  "- Vuoi smettere di giocare?\n"
                                  "> si\n"
                                  "- Arrivederci!\n"
                                  "...\n"
                                  ">\n");
    RunResult run = play(adventure, dir.file("ok.txt"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(run.out.starts_with("ok: 6 comandi come da copione, fino alla fine della "
                                    "partita ("))
        << run.out;
    // The game ran in a folder of its own: nothing was saved beside the adventure.
    EXPECT_FALSE(fileExists(fixture("torre", true) + "/anna.context"));

    writeFile(dir.file("wrong.txt"), "> Anna\n"
                                     "> nord\n"
                                     "~ ingresso\n"
                                     "> prendi fiammiferi\n"
                                     "Preso.\n");
    run = play(adventure, dir.file("wrong.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, dir.file("wrong.txt") + ":5: la risposta non e' quella attesa\n"
                                               "  comando (riga 4): > prendi fiammiferi\n"
                                               "  atteso (riga 5): Preso.\n"
                                               "  trovato: Fatto.\n"
                                               "  la risposta:\n"
                                               "  > | Fatto.\n"
                                               "    | Sei nell'ingresso della torre.\n"
                                               "  comando precedente (riga 2): > nord\n");

    writeFile(dir.file("nowhere.txt"), "> Anna\n> nord\n~ cantina\n~ lanterna\n");
    run = play(adventure, dir.file("nowhere.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.starts_with(dir.file("nowhere.txt") +
                                    ":4: la risposta non e' quella attesa\n"
                                    "  comando (riga 2): > nord\n"
                                    "  atteso in una riga qualsiasi (riga 4): lanterna\n"
                                    "  non c'e' in nessuna riga\n"
                                    "  la risposta:\n"
                                    "    | Sei nell'ingresso"))
        << run.out;

    writeFile(dir.file("over.txt"), "> Anna\n> basta\n> si\n>\n> guarda\n");
    run = play(adventure, dir.file("over.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, dir.file("over.txt") + ":5: la partita e' finita prima di questo comando\n"
                                              "  la risposta:\n"
                                              "    (nessuna riga)\n");

    // A game that cannot start tells why.
    TempDir broken;
    std::string main = copyFixture("torre", broken, true);
    std::filesystem::remove(broken.file("torre.map"));
    run = play(main, dir.file("over.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(":1: la partita e' finita prima di questo comando\n  la risposta:\n"
                           "    | Zanfir v. 1.00"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("    | Eccezione ConfigNotFoundException: File di definizione "
                           "inesistente: '"),
              std::string::npos)
        << run.out;
}

TEST(ScriptedGameTest, AnswersEndWhereTheGameReadsAgain) {
    // Telling a pause from a question needs the system to show what a child
    // process waits on; elsewhere the runner falls back to silence.
    pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    bool told = waitUntil(
        [&] {
            long number = -1; // "running" until it waits
            return bool(std::ifstream("/proc/" + std::to_string(child) + "/syscall") >> number);
        },
        std::chrono::seconds(2));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    if (!told)
        GTEST_SKIP() << "/proc/<pid>/syscall cannot be read here";
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    // A pause in the middle of a line is no question; an "ask" is.
    append(dir.file("torre.actionset"),
           "\n[ACTIONS]\n"
           "*:ATTENDI:TORRE={print 'Aspetti'; sleep 0.4; println '... e niente.'}\n"
           "*:SALTA:TORRE={X = ask 'Sei sicuro? '; if (X) println 'Salti.'; "
           "else println 'Meglio di no.'}\n"
           "*:SUONA:TORRE={println 'Bussi.'; pause; println 'Nessuno risponde.'}\n");
    writeFile(dir.file("script.txt"), "> Anna\n"
                                      "...\n"
                                      "> attendi torre\n"
                                      "Aspetti... e niente.\n"
                                      "Sei su un prato, ai piedi della torre.\n"
                                      "> salta torre\n"
                                      "Sei sicuro?\n"
                                      "> no\n"
                                      "Meglio di no.\n"
                                      "...\n"
                                      "> suona torre\n"
                                      "Bussi.\n"
                                      "- Premi <invio> per continuare...\n"
                                      ">\n"
                                      "Nessuno risponde.\n"
                                      "...\n");
    RunResult run = play(main, dir.file("script.txt"));
    EXPECT_EQ(run.status, 0) << run.out;
}

TEST(ScriptedGameTest, AFailureThatEndsTheGameIsShown) {
    TempDir dir;
    std::string main = copyFixture("torre", dir, true);
    append(dir.file("torre.actionset"), "\n[ACTIONS]\n*:SALTA:TORRE={if (0 == X) println 'Su.'}\n");
    const std::string failure = "  la risposta:\n    | Eccezione ExpressionException: "
                                "Conversione al tipo intero impossibile: 'X'\n"
                                "    |   in torre.actionset:13 [ACTIONS] *:SALTA:TORRE\n";
    writeFile(dir.file("early.txt"), "> Anna\n> salta torre\n> guarda\n");
    RunResult early = play(main, dir.file("early.txt"));
    EXPECT_EQ(early.status, 1);
    EXPECT_EQ(early.out, dir.file("early.txt") +
                             ":3: la partita e' finita prima di questo comando\n" + failure);

    // Failing at the last command is no success either.
    writeFile(dir.file("last.txt"), "> Anna\n> salta torre\n");
    RunResult last = play(main, dir.file("last.txt"));
    EXPECT_EQ(last.status, 1);
    EXPECT_EQ(last.out,
              dir.file("last.txt") + ":2: la partita e' finita con un errore\n" + failure);
}

TEST(ScriptedGameTest, ARecordedGamePassesAsAScript) {
    TempDir dir;
    const std::string adventure = fixture("torre", true) + "/torre.zanfa";
    writeFile(dir.file("commands.txt"), "> Anna\n> guarda\n> est\n> cerca foglie\n> prendi "
                                        "chiave\n> cosa\n> ovest\n> ovest\n");
    RunResult recorded = play(adventure, dir.file("commands.txt"), {"-record"});
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_NE(recorded.out.find("> cerca foglie\nSotto le foglie trovi una chiave arrugginita!\n"),
              std::string::npos)
        << recorded.out;
    writeFile(dir.file("recorded.txt"), recorded.out);
    RunResult run = play(adventure, dir.file("recorded.txt"));
    EXPECT_EQ(run.status, 0) << run.out;

    EXPECT_EQ(play(adventure, dir.file("missing.txt")).status, 2);
    RunResult usage = runProgram(ZANFIR_SCRIPT_BIN, {adventure});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "Sintassi: zanfir-script <avventura>.zanfa <copione> [-record] "
                         "[-zanfir <programma>]\n");
}

TEST(ScriptedGameTest, BundledWalkthroughsPlayToTheEnd) {
    int played = 0;
    for (const auto& entry : std::filesystem::directory_iterator(fixture("", true))) {
        std::string name = entry.path().filename().string();
        std::string script = fixture(name, true) + "/" + name + ".walkthrough";
        if (!fileExists(script))
            continue;
        RunResult run = play(fixture(name, true) + "/" + name + ".zanfa", script);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find(", fino alla fine della partita"), std::string::npos) << run.out;
        ++played;
    }
    EXPECT_GT(played, 0);
}
