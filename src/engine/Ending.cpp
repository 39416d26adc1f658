#include "engine/Ending.h"

#include <utility>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "runtime/Errors.h"
#include "runtime/Input.h"
#include "runtime/Log.h"
#include "util/Util.h"

namespace zanfir {

void Ending::offer() {
    _session.quit();
    _choice = Choice::LEAVE;
    if (_session.main().isMultiUser())
        _session.pressAnyKey();
    else
        _choice = ask();
}

// "- ANNULLA l'ultima mossa, CARICA la partita salvata, RICOMINCIA o BASTA? ",
// with only the choices that can be taken; Enter leaves.
Ending::Choice Ending::ask() {
    const bool undo = _session.commands().canTakeBackRunning();
    const bool load = _session.savedGames().exists();
    std::string question = "- ";
    if (undo)
        question += std::string(T::EndUndo) + ", ";
    if (load)
        question += std::string(T::EndLoad) + ", ";
    question += std::string(T::Restart) + T::EndOr + T::Quit + T::EndAsk;
    _session.println();
    for (;;) {
        std::string answer = Util::toUpper(Util::trim(_session.readln(question)));
        if (!_session.in().isAlive() || answer.empty() || answer == T::Quit)
            break;
        if (undo && answer == T::Undo)
            return Choice::UNDO;
        if (load && answer == T::Load)
            return Choice::LOAD;
        if (answer == T::Restart)
            return Choice::RESTART;
    }
    _session.println();
    return Choice::LEAVE;
}

bool Ending::resume() {
    for (;;) {
        Choice choice = std::exchange(_choice, Choice::LEAVE);
        if (choice == Choice::LEAVE)
            return false;
        if (take(choice))
            return true;
        _choice = ask();
    }
}

bool Ending::take(Choice choice) {
    _session.println();
    switch (choice) {
    case Choice::UNDO:
        _session.commands().mark(); // the last move's level is the one before
        return _session.commands().undo();
    case Choice::LOAD:
        try {
            if (_session.savedGames().deserialize() == SavedGames::Loaded::YES) {
                _session.println(T::GameLoaded);
                return true;
            }
        } catch (const SerializationException& error) {
            Log::writeG(_session.entity(), Log::WARN, error);
        }
        _session.println(T::FileAccessError);
        return false;
    case Choice::RESTART:
        _session.setContext(_session.main().players().newWorld(*_session.user()));
        _session.scene().showIntro();
        return true;
    case Choice::LEAVE:
        break;
    }
    return false;
}

} // namespace zanfir
