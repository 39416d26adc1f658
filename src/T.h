#pragma once

// The catalogue of every fixed text of the program. Texts printed around a
// name have two entries: the part before, and the part after ("X" suffix).
// Trailing blanks belong to the texts.

namespace zanfir {

struct T {
    // Session, login and scene
    static constexpr const char* WhatsYourName = "Qual'e' il tuo nome? ";
    static constexpr const char* WhatsYourPassword = "Qual'e' la tua password? ";
    static constexpr const char* RedigitYourPassword = "Riscrivi la tua password, per favore: ";
    static constexpr const char* UseSingleWordName = "- Usa nomi di una sola parola, per favore.";
    static constexpr const char* NameTooLong = "- Usa nomi di al massimo 20 lettere, per favore.";
    static constexpr const char* AmbiguousName = "- Non puoi usare un nome meno ambiguo?";
    static constexpr const char* WrongPassword = "- Mi dispiace, la password non e' corretta.";
    static constexpr const char* PasswordTooShort =
        "- La password deve essere lunga almeno 4 caratteri.";
    static constexpr const char* NewName =
        "- E' un nome nuovo: scegli la sua password, di almeno 4 caratteri (la scriverai due "
        "volte).";
    static constexpr const char* WelcomeBack = "- Ciao di nuovo, ";
    static constexpr const char* WelcomeBackX = "!";
    static constexpr const char* ChooseGamePassword =
        "- Scegli una password per le partite salvate con il tuo nome.";
    static constexpr const char* AlreadyPlaying = "- Questo giocatore e' gia' in gioco.";
    static constexpr const char* PasswordNotMatch =
        "- La seconda volta hai scritto una password diversa dalla prima.";
    static constexpr const char* PressAnyKey = "- Premi <invio> per continuare... ";
    static constexpr const char* Prompt = "Cosa devo fare? ";
    static constexpr const char* EmptyPhrase = "- Beh?";
    static constexpr const char* LineTooLong = "- La riga e' troppo lunga (piu' di ";
    static constexpr const char* LineTooLongX = " byte): non ne ho fatto nulla.";
    static constexpr const char* VerbNotFound = "- Non conosco il verbo '";
    static constexpr const char* VerbNotFoundX = "'.";
    static constexpr const char* WordNotFound = "- Non conosco la parola '";
    static constexpr const char* WordNotFoundX = "'.";
    static constexpr const char* CantUnderstand = "- Non capisco.";
    static constexpr const char* Undone = "- Fatto: l'ultimo comando e' annullato.";
    static constexpr const char* NothingToUndo = "- Non c'e' niente da annullare.";
    static constexpr const char* NoUndoShared = "- In un mondo condiviso non si torna indietro.";
    static constexpr const char* ResumeRefused =
        "- Non posso riprendere la partita di prima: entra di nuovo con nome e password.";
    static constexpr const char* ResumeRefusedLog = "Ripresa di una pagina rifiutata dall'IP ";
    static constexpr const char* GameSaved = "- Partita salvata.";
    static constexpr const char* GameLoaded = "- Partita caricata.";
    static constexpr const char* NoSavedGame = "- Non c'e' nessuna partita salvata da caricare.";
    static constexpr const char* SharedAlwaysSaved =
        "- Un mondo condiviso si salva da solo: non c'e' niente da caricare.";
    // The second chance at the end of a game of one's own: the choices
    // offered (those that can be taken), and the words that take them
    // (with Load and Quit).
    static constexpr const char* EndUndo = "ANNULLA l'ultima mossa";
    static constexpr const char* EndLoad = "CARICA la partita salvata";
    static constexpr const char* EndOr = " o ";
    static constexpr const char* EndAsk = "? ";
    static constexpr const char* Undo = "ANNULLA";
    static constexpr const char* Restart = "RICOMINCIA";
    static constexpr const char* NothingToRepeat = "- Non c'e' niente da ripetere.";
    static constexpr const char* DontAskQuestions =
        "Non si risponde ad una domanda con una domanda.";
    static constexpr const char* YouAre = "Sei ";
    static constexpr const char* YouAreX = ".";
    static constexpr const char* ISee = "Vedo ";
    static constexpr const char* ISeeX = ".";
    static constexpr const char* HereThereIs = "Qui c'e' ";
    static constexpr const char* HereThereIsX = ".";
    // Who comes and goes, as the others in the place are told.
    static constexpr const char* Arrives = "- Arriva ";
    static constexpr const char* Leaves = " se ne va.";
    static constexpr const char* GoesNorth = " va verso nord.";
    static constexpr const char* GoesSouth = " va verso sud.";
    static constexpr const char* GoesEast = " va verso est.";
    static constexpr const char* GoesWest = " va verso ovest.";
    static constexpr const char* GoesUp = " sale.";
    static constexpr const char* GoesDown = " scende.";
    static constexpr const char* Says = " dice << ";
    static constexpr const char* SaysX = " >>.";
    static constexpr const char* NoOneHere = "Non c'e' nessuno.";
    static constexpr const char* OneOf = " e ";

    // Built-in verbs
    static constexpr const char* CantGoThere = "- Di li' non puoi andare.";
    static constexpr const char* NothingSpecial = "Non noto nulla di particolare.";
    static constexpr const char* HeIsJust = "E' proprio ";
    static constexpr const char* HeIsJustX = ".";
    static constexpr const char* AlreadyHaveIt = "- Lo possiedi gia'.";
    static constexpr const char* CantTakeIt = "- Temo che sia impossibile.";
    static constexpr const char* CantTakeUnvisible = "Non essere ridicolo.";
    static constexpr const char* Done = "Fatto.";
    static constexpr const char* DontHaveIt = "- Non ne possiedi.";
    static constexpr const char* YouHave = "Possiedi:";
    static constexpr const char* NothingAtAll = "- Un bel niente.";
    static constexpr const char* AsYouWant = "D'accordo...";
    static constexpr const char* FileAccessError = "- Errore durante l'accesso al file.";
    static constexpr const char* FileWriteError = "- Errore durante la creazione del file.";
    static constexpr const char* WhatDoIHaveToSayToHim = "Cosa gli devo dire? ";
    static constexpr const char* WhatDoIHaveToSay = "Cosa devo dire? ";
    static constexpr const char* GettingMad = "Parlare da soli e' il primo sintomo della follia.";
    static constexpr const char* NotHereNow = "- Qui non c'e'.";
    static constexpr const char* NoUseForIt = "- Non sa che farsene.";
    static constexpr const char* GivenTo = "- Fatto: ora ce l'ha ";
    static constexpr const char* GivenToX = ".";
    static constexpr const char* GivesYou = " ti da' ";
    static constexpr const char* CantGetReceiver = "giocatore non determinabile";
    static constexpr const char* DontSeeItHere = "- Qui non ne vedo.";
    static constexpr const char* CommandTooLong = "- Il comando era troppo lungo: l'ho interrotto.";
    static constexpr const char* ServerStopping = "- Il server si ferma. A presto!";
    static constexpr const char* TakenOver =
        "- Sei entrato di nuovo da un'altra connessione: questa si chiude.";
    static constexpr const char* TimedOut =
        "\n- E' passato troppo tempo senza una risposta: arrivederci!\n";
    static constexpr const char* ServerFull = "- Il server e' al completo: riprova piu' tardi.";
    static constexpr const char* TooManyFailures =
        "- Troppe password sbagliate da questo indirizzo: riprova piu' tardi.";
    static constexpr const char* NameLockedOut =
        "- Troppe password sbagliate per questo nome da questo indirizzo: riprova piu' tardi.";
    static constexpr const char* TooManyNewPlayers =
        "- Troppi nuovi giocatori da questo indirizzo: riprova fra un minuto.";
    static constexpr const char* ThreeWrongPasswords = "- Tre password sbagliate: arrivederci.";
    static constexpr const char* TooManyFromAddress =
        "- Troppe connessioni dal tuo indirizzo: riprova piu' tardi.";
    static constexpr const char* SureWantToQuit = "- Vuoi smettere di giocare? ";
    static constexpr const char* Goodbye = "- Arrivederci!";
    static constexpr char Yes = 'S';

    // Built-in verb and direction words
    static constexpr const char* North = "NORD";
    static constexpr const char* South = "SUD";
    static constexpr const char* East = "EST";
    static constexpr const char* West = "OVEST";
    static constexpr const char* Up = "ALTO";
    static constexpr const char* Down = "BASSO";
    static constexpr const char* Load = "CARICA";
    static constexpr const char* Save = "SALVA";
    static constexpr const char* Quit = "BASTA";
    static constexpr const char* What = "COSA";
    static constexpr const char* Take = "PRENDI";
    static constexpr const char* Drop = "LASCIA";
    static constexpr const char* Look = "GUARDA";
    static constexpr const char* Tell = "PARLA";
    static constexpr const char* Wait = "ATTENDI";

    // Start-up, engine, remote play and log
    static constexpr const char* Banner = "Zanfir v. 1.00 - Interprete Java di avventure testuali";
    static constexpr const char* Banner2 =
        "Avventure testuali in italiano, da soli alla console o insieme in rete";
    static constexpr const char* Help =
        "Sintassi: Zanfir <adventure>.zanfa [-server] [-mud] [-debug] [-log] [-dump]";
    static constexpr const char* Exception = "Eccezione ";
    // Where in the adventure's files a failure stands: on a line of its
    // own after the failure, or at the end of its line in the log
    static constexpr const char* FailurePlace = "  in ";
    static constexpr const char* FailurePlaceInLine = " (in ";
    static constexpr const char* FailurePlaceInLineX = ")";
    static constexpr const char* Initialization = "Inizializzazione";
    static constexpr const char* LoadingDictionary = "Caricamento dizionario";
    static constexpr const char* LoadingInventory = "Caricamento inventario";
    static constexpr const char* LoadingMap = "Caricamento mappa";
    static constexpr const char* LoadingActionSet = "Caricamento tavola delle azioni";
    static constexpr const char* CarriedObjectMovedToBeginning =
        "Oggetto trasportato spostato alla locazione iniziale: '";
    static constexpr const char* CarriedObjectMovedToBeginningX = "'";
    static constexpr const char* PlayerMovedToBeginning =
        "Giocatore spostato alla locazione iniziale, la sua non esiste piu': '";
    static constexpr const char* PlayerPlaceNoName =
        "Giocatore spostato alla locazione iniziale, la sua non e' il nome di un luogo: '";
    static constexpr const char* StateWithoutGlobal =
        "Lo stato condiviso non ha la parte GLOBAL (il file resta com'e'): '";
    static constexpr const char* SavingAgain = "Lo stato del mondo condiviso si salva di nuovo";
    // A setting of the main file that cannot be used: "Impostazione " + name
    // + ": " + why + "; uso " + default.
    static constexpr const char* SettingRefused = "Impostazione ";
    static constexpr const char* SettingRefusedX = "; uso ";
    static constexpr const char* SettingNoNumber = " non e' un numero intero";
    static constexpr const char* SettingBelow = " e' meno di ";
    static constexpr const char* SettingOutside = " non e' fra ";
    static constexpr const char* SettingOutsideX = " e ";
    static constexpr const char* SettingNoChoice = " non e' uno fra ";
    static constexpr const char* Stopping = "Arresto del server";
    // Marks a text from a client cut short in the log.
    static constexpr const char* Clipped = "... [tagliato]";
    static constexpr const char* Checkpoint = "Stato salvato (";
    static constexpr const char* CheckpointX = "), giornale sincronizzato finora volte: ";
    static constexpr const char* BadProxyHeader =
        "Connessione chiusa: nessuna intestazione PROXY valida dal proxy ";
    static constexpr const char* Stopped = "Server fermato";
    static constexpr const char* StoppedIn = "Server fermato in ";
    static constexpr const char* StoppedWorld = ": mondo salvato, con ";
    static constexpr const char* StoppedPlayers = " giocatori (in gioco: ";
    static constexpr const char* StoppedPlaying = ")";
    static constexpr const char* AdventureBegin = "Inizio avventura";
    static constexpr const char* AdventureEnd = "Termine avventura";
    static constexpr const char* Command = "Comando: '";
    static constexpr const char* Phrase = "Frase: '";
    static constexpr const char* ResolvedAction = "Azione risolta: '";
    static constexpr const char* UnresolvedAction = "Azione non risolta";
    static constexpr const char* UnknownVerb = "Verbo sconosciuto: '";
    static constexpr const char* UnknownWord = "Parola sconosciuta: '";
    static constexpr const char* UnknownBindingWord =
        "Parola sconosciuta nella dichiarazione dell'azione: '";
    static constexpr const char* UnknownEventType =
        "Tipo di evento sconosciuto, dichiarazione ignorata: '";
    static constexpr const char* BeginListenOnPort = "Inizio attesa connessioni sulla porta ";
    static constexpr const char* Listening = "In attesa di giocatori sulla porta ";
    static constexpr const char* ListeningEverywhere = " di ogni indirizzo";
    static constexpr const char* ListeningAt = " dell'indirizzo ";
    static constexpr const char* OpenConnectionForIP = "Aperta una connessione con l'IP ";
    static constexpr const char* ClosedNotReading = "Chiusa la connessione con l'IP ";
    static constexpr const char* ClosedNotReadingX = ": il client non legge quello che riceve";
    static constexpr const char* ClosedSilent = "Chiusa la connessione silenziosa con l'IP '";
    static constexpr const char* Refused = "Rifiutata una connessione con l'IP ";
    static constexpr const char* RefusedFull = ": server al completo";
    static constexpr const char* RefusedAddress = ": troppe connessioni dallo stesso indirizzo";
    static constexpr const char* RefusedLockedOut = ": troppe password sbagliate";
    static constexpr const char* RefusedOrigin = "Rifiutata una WebSocket dall'origine '";
    static constexpr const char* RefusedOriginX = "' dall'IP ";
    static constexpr const char* LoginFailed = "Password sbagliata per '";
    static constexpr const char* LoginFailedX = "' dall'IP ";
    static constexpr const char* ErrorListeningConnections =
        "Errore durante l'ascolto sulla porta di connessione";
    static constexpr const char* CantOpenLogFileC = "IMPOSSIBILE APRIRE IL FILE DI LOG! ";
    static constexpr const char* CantOpenLogFileHint =
        "Il log resta spento finche' il file non si puo' aprire: crea la cartella, o indicane "
        "un'altra con LogPath nel file principale.";
    static constexpr const char* CantWriteLogFileC =
        "IMPOSSIBILE COMPLETARE LA SCRITTURA SUL FILE DI LOG! ";
    static constexpr const char* AssertionFailed = "Asserzione fallita: ";
    // The author's trace (-debug) of what each command runs
    static constexpr const char* TracePrefix = "[traccia] ";
    static constexpr const char* TracePhrase = "frase: ";
    static constexpr const char* TraceBinding = "azione: ";
    static constexpr const char* TraceEvent = "evento: ";
    static constexpr const char* TraceIn = " in ";
    static constexpr const char* TraceCondition = "se ";
    static constexpr const char* TraceTrue = ": vero";
    static constexpr const char* TraceFalse = ": falso";
    static constexpr const char* TraceVariable = "variabile ";
    static constexpr const char* TraceItem = "oggetto ";
    static constexpr const char* TracePlayer = "giocatore: ";
    static constexpr const char* TraceChange = " -> ";
    static constexpr const char* TraceUnset = "(nessun valore)";
    static constexpr const char* TraceCarried = "(portato)";
    static constexpr const char* TraceNowhere = "(nessun luogo)";
    static constexpr const char* TraceHidden = ": nascosto";
    static constexpr const char* TraceShown = ": visibile";

    // Errors of the definition files and of the world; the name follows, then "'"
    static constexpr const char* ConfigNotFound = "File di definizione inesistente: '";
    static constexpr const char* ConfigErrorInLine =
        "Errore di sintassi nella linea del file di definizione: '";
    static constexpr const char* VerbNotDefined = "Verbo non definito: '";
    static constexpr const char* WordNotDefined = "Parola non definita: '";
    static constexpr const char* ItemNotFound = "Oggetto inesistente: '";
    static constexpr const char* ItemOwnedByOtherUser =
        "Oggetto posseduto da un altro giocatore: '";
    static constexpr const char* LocationNotFound = "Locazione inesistente: '";
    static constexpr const char* MessageNotFound = "Messaggio inesistente: '";
    static constexpr const char* ActionErrorInDeclaration =
        "Errore di sintassi nella dichiarazione dell'azione: '";
    static constexpr const char* MessageErrorInDeclaration =
        "Errore di sintassi nella dichiarazione del messaggio: '";
    static constexpr const char* EventErrorInDeclaration =
        "Errore di sintassi nella dichiarazione dell'evento: '";
    static constexpr const char* InvalidNumber = "Numero non valido: '";
    static constexpr const char* TypeMismatch = "Tipo di dato non corrispondente: '";
    static constexpr const char* ContextNameNotFound = "Nome inesistente nel contesto: '";
    static constexpr const char* NotAContextFile = "File di stato non valido: '";
    static constexpr const char* StateInUse = "Lo stato '";
    static constexpr const char* StateInUseX =
        "' e' in uso: un server di questa avventura e' in funzione.";
    static constexpr const char* CommandStopped = "Comando interrotto oltre il limite: '";
    static constexpr const char* StepsLimit = " passi";
    static constexpr const char* OutputLimit = " byte di testo";
    static constexpr const char* QuoteEnd = "'";

    // Errors of the action language and of descriptions
    static constexpr const char* ActionErrorInCommand = "Errore generale nel comando dell'azione";
    static constexpr const char* ActionErrorInCondition =
        "Errore generale nella condizione dell'azione";
    static constexpr const char* CantRecognizeCommand = "comando non riconosciuto";
    static constexpr const char* CantGetVarNameOrValue = "variabile e/o valore non determinabile";
    static constexpr const char* CantGetVarName = "variabile non determinabile";
    static constexpr const char* CantGetMsgName = "messaggio non determinabile";
    static constexpr const char* CantGetExprOrAction = "espressione e/o comando non determinabile";
    static constexpr const char* CantGetAction = "comando non determinabile";
    static constexpr const char* ExpressionSyntaxError = "errore di sintassi nell'espressione";
    static constexpr const char* CantGetSecs = "numero di secondi non determinabile";
    static constexpr const char* ParamsNotExpected = "il comando non prevede parametri";
    static constexpr const char* CantGetItem = "oggetto non determinabile";
    static constexpr const char* CantGetLocation = "locazione non determinabile";
    static constexpr const char* CantFindClass = "classe Java non instanziabile";
    static constexpr const char* ElseNotFollowingIf = "'else' non direttamente preceduto da 'if'";
    static constexpr const char* ActionNotFound = "riferimento ad azione non trovato";
    static constexpr const char* UnbalancedBrackets = "parantesi non bilanciate";
    static constexpr const char* NestingTooDeep =
        "Esecuzione interrotta: troppe azioni annidate una nell'altra (un ciclo senza fine?)";

    // Errors of expressions
    static constexpr const char* SyntaxErrorInRelationExpression =
        "Errore di sintassi nell'espressione relazionale";
    static constexpr const char* CantConvertToStringDataType =
        "Conversione al tipo stringa impossibile";
    static constexpr const char* CantConvertToIntegerDataType =
        "Conversione al tipo intero impossibile";
    static constexpr const char* CantConvertToBooleanDataType =
        "Conversione al tipo booleano impossibile";
    static constexpr const char* UnknownConvertingDataType =
        "Tipo di dato da convertire sconosciuto";
    static constexpr const char* UnknownDataType = "Tipo di dato sconosciuto";
    static constexpr const char* UncomparableOperands = "Operandi non comparabili";
    static constexpr const char* UnknownOperator = "Operatore sconosciuto";
    static constexpr const char* LogicalOperatorMissing = "Operatore logico mancante";
    static constexpr const char* SyntaxError = "Errore di sintassi";
    static constexpr const char* OperatorNotMustBeFollowedByBrackets =
        "L'operatore '!' deve essere seguito dalle parentesi";

    // Scripted games (zanfir-script)
    static constexpr const char* ScriptUsage =
        "Sintassi: zanfir-script <avventura>.zanfa <copione> [-record] [-zanfir <programma>]";
    static constexpr const char* ScriptNoAdventure = "Avventura inesistente: '";
    static constexpr const char* ScriptCantRead = "Copione illeggibile: '";
    static constexpr const char* ScriptCantStart = "Impossibile avviare il gioco: ";
    static constexpr const char* ScriptEmptyContains = "Riga '~' senza testo nel copione, riga ";
    static constexpr const char* ScriptDifferent = "la risposta non e' quella attesa";
    static constexpr const char* ScriptDifferentOpening =
        "l'apertura del gioco non e' quella attesa";
    static constexpr const char* ScriptCommandAt = "  comando (riga ";
    static constexpr const char* ScriptPreviousAt = "  comando precedente (riga ";
    static constexpr const char* ScriptExpected = "  atteso (riga ";
    static constexpr const char* ScriptExpectedSomewhere = "  atteso in una riga qualsiasi (riga ";
    static constexpr const char* ScriptFound = "  trovato: ";
    static constexpr const char* ScriptMissing = "  la risposta finisce prima";
    static constexpr const char* ScriptNowhere = "  non c'e' in nessuna riga";
    static constexpr const char* ScriptExtraLine = "  riga in piu' nella risposta: ";
    static constexpr const char* ScriptWholeAnswer = "  la risposta:";
    static constexpr const char* ScriptEmptyAnswer = "    (nessuna riga)";
    static constexpr const char* ScriptGameOver = "la partita e' finita prima di questo comando";
    static constexpr const char* ScriptGameFailed = "la partita e' finita con un errore";
    static constexpr const char* ScriptSilent =
        "il gioco non risponde piu' (30 secondi senza chiedere nulla)";
    static constexpr const char* ScriptPassed = "ok: ";
    static constexpr const char* ScriptPassedCommands = " comandi come da copione";
    static constexpr const char* ScriptPassedToTheEnd = ", fino alla fine della partita";

    // The admin program (zanfir-admin); a name follows some texts
    static constexpr const char* AdminUsage = "Sintassi: zanfir-admin <avventura>.zanfa list | "
                                              "reset-password NOME | remove NOME | move NOME LUOGO";
    static constexpr const char* AdminNoPlayers = "nessun giocatore";
    static constexpr const char* AdminUnknownPlayer = "giocatore inesistente: '";
    static constexpr const char* AdminShortPassword = "la password deve avere almeno 4 caratteri";
    static constexpr const char* AdminNewPassword = "Nuova password di ";
    static constexpr const char* AdminPasswordAgain = "Riscrivila: ";
    static constexpr const char* AdminPasswordsDiffer = "le due password sono diverse";
    static constexpr const char* AdminPasswordSet = "password cambiata: ";
    static constexpr const char* AdminRemoved = "giocatore rimosso: ";
    static constexpr const char* AdminItemsLeft = "oggetti lasciati in ";
    static constexpr const char* AdminMoved = " ora e' in ";

    // The checker of adventure files (zanfir-check); a name follows some
    // texts, then "'"
    static constexpr const char* CheckUsage = "Sintassi: zanfir-check <avventura>.zanfa";
    static constexpr const char* CheckError = "errore: ";
    static constexpr const char* CheckWarning = "avviso: ";
    static constexpr const char* CheckUnknownLocation = "luogo inesistente: '";
    static constexpr const char* CheckUnknownItem = "oggetto inesistente: '";
    static constexpr const char* CheckUnknownWord = "parola che il dizionario non conosce: '";
    static constexpr const char* CheckUnknownMessage = "messaggio non dichiarato: '";
    static constexpr const char* CheckUnknownEvent = "tipo di evento sconosciuto: '";
    static constexpr const char* CheckUnservedReference = "riferimento che nessuna azione serve: '";
    static constexpr const char* CheckNoStart =
        "manca il luogo di partenza (LOCATION nella sezione BEGINNING)";
    static constexpr const char* CheckItemNowhere =
        "l'oggetto non sta in nessun luogo: nessun ITEMS lo elenca, non e' CARRIED e nessuna "
        "azione lo sposta";
    static constexpr const char* CheckNoDescr =
        "oggetto senza DESCR: il gioco lo mostra col suo nome tra apici: '";
    static constexpr const char* CheckMapItemMisspelt =
        "oggetto che l'inventario non dichiara, forse '";
    static constexpr const char* CheckPlacedTwice = "oggetto elencato in due luoghi: '";
    static constexpr const char* CheckPlacedTwiceX = "; vale questo, non ";
    static constexpr const char* CheckDotInName =
        "nome con un punto: lo stato della partita non lo potrebbe registrare";
    static constexpr const char* CheckKeywordName =
        "in un comando (NOME.print, NOME.take...) questo nome sarebbe letto come '";
    static constexpr const char* CheckRepeated =
        "scritto una seconda volta: vale quest'ultimo valore";
    static constexpr const char* CheckSectionIgnored = "sezione che il caricatore ignora";
    static constexpr const char* CheckMessageUnused = "messaggio che nessun testo usa";
    static constexpr const char* CheckUnreachable =
        "nessuna uscita porta qui dal luogo di partenza (forse un'azione lo fa)";
    static constexpr const char* CheckVariableMisspelt = "variabile sconosciuta, forse '";
    static constexpr const char* CheckVariableUnread = "variabile che il gioco non legge";
    static constexpr const char* CheckVariableOfPlayer =
        "variabile che il gioco non legge: le azioni usano la variabile del giocatore con questo "
        "nome, che questo valore non imposta";
    static constexpr const char* CheckElseSwallowed =
        "manca il ';' prima di 'else': il comando dell'if lo ingloba e l'else non viene mai "
        "eseguito: '";
    static constexpr const char* CheckIgnoredWord = "parola da ignorare che e' anche ";
    static constexpr const char* CheckIgnoredItem = "una parola di oggetto";
    static constexpr const char* CheckIgnoredAdverb = "un avverbio";
    static constexpr const char* CheckIgnoredWordX = " (i comandi la scartano sempre): '";
    static constexpr const char* CheckIgnoredInSynonym =
        "sinonimo con una parola da ignorare, che i comandi scartano: nessuno lo puo' scrivere: '";
    static constexpr const char* CheckSettingMisspelt = "impostazione sconosciuta, forse '";
    static constexpr const char* CheckSettingUnknown =
        "impostazione sconosciuta: il gioco non la legge";
    static constexpr const char* CheckSettingInSection =
        "impostazione dentro una sezione: il gioco legge le impostazioni solo in cima al file, "
        "prima di ogni sezione";
    static constexpr const char* CheckWordOfTwo = "parola di due nomi: '";
    static constexpr const char* CheckWordOfTwoX = "' e' gia' di ";
    static constexpr const char* CheckWordOfTwoXX = ": i comandi la leggono come uno solo dei due";
    static constexpr const char* CheckSynonymOfOthers =
        "sinonimo fatto di parole di altri oggetti: '";
    static constexpr const char* CheckSynonymOfOthersX = "' si legge sempre come ";
    static constexpr const char* CheckSynonymOfOthersXX = ", mai come gli oggetti delle sue parole";
    static constexpr const char* CheckWordOfGame = ", un verbo del gioco";
    static constexpr const char* CheckVariableNeverSet = "variabile letta ma mai impostata: '";
    static constexpr const char* CheckPerhaps = ", forse '";
    static constexpr const char* CheckNumberOnLeft = "numero a sinistra di un confronto: '";
    static constexpr const char* CheckNumberOnLeftX = "' con '";
    static constexpr const char* CheckNumberOnLeftXX =
        "': il gioco si ferma quando la variabile non ha un numero (finche' non e' impostata, "
        "per esempio); scrivi prima la variabile";
    static constexpr const char* CheckTextWithNumber =
        "testo confrontato con un numero: la variabile '";
    static constexpr const char* CheckTextWithNumberX =
        "' ha sempre un numero, e il gioco si ferma confrontandola con ";
    static constexpr const char* CheckStrayBrace =
        "'}' che non chiude nessun blocco: il gioco lo stampa come testo";
    static constexpr const char* CheckUnclosedText =
        "testo senza uno dei due apici: il gioco non lo stampa: '";
    static constexpr const char* CheckCutText =
        "un ';' dentro il testo tra apici chiude il comando e lo spezza in due: '";
    static constexpr const char* CheckCutTextX = "' e '";
    static constexpr const char* CheckCutTextXX =
        "'; scrivi il testo senza ';' (per esempio con una virgola)";
    static constexpr const char* CheckKeywordCommand = "il comando '";
    static constexpr const char* CheckKeywordCommandX = "' comincia come '";
    static constexpr const char* CheckKeywordCommandXX =
        "' e il gioco lo legge cosi': dai alla variabile, all'oggetto o al messaggio un altro "
        "nome";
    static constexpr const char* CheckNothingFound = "nessun problema trovato";
    static constexpr const char* CheckErrors = " errori";
    static constexpr const char* CheckOneError = "1 errore";
    static constexpr const char* CheckWarnings = " avvisi";
    static constexpr const char* CheckOneWarning = "1 avviso";
};

} // namespace zanfir
