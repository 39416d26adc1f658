#include "engine/SavedGames.h"

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Login.h"
#include "engine/Main.h"
#include "engine/Scenes.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "state/StateStore.h"
#include "util/PasswordHash.h"
#include "world/StateKeys.h"

namespace zanfir {

// Behind RemotePasswords a remote player's saved game is kept under a
// password, chosen at the first save and asked at every later login; a
// session that did not give it (the game was protected after it logged in)
// is asked before it saves or loads.
bool SavedGames::serialize() {
    Main& main = _session.main();
    if (main.isMultiUser())
        return true;
    const std::string name = _session.userName();
    Context& state = *_session.context();
    if (_login.guardsSavedGames()) {
        if (!_login.mayUseSavedGame(_login.savedGamePassword(name)))
            return false;
        if (_login.gamePassword().empty()) { // the name's first game under a password
            _session.println(T::ChooseGamePassword);
            std::optional<std::string> first, again;
            do {
                if (first)
                    _session.refuse(T::PasswordNotMatch);
                first = _login.readPassword();
                again = first ? _login.readPasswordAgain() : std::nullopt;
                if (!again)
                    return false;
            } while (*again != *first);
            try {
                _login.setGamePassword(
                    _session.outsideTurn([&] { return PasswordHash::hash(*first); }));
            } catch (const Exception& error) {
                throw SerializationException(error.what());
            }
        }
        state.setString(StateKeys::userPassword(_session.userID()), _login.gamePassword());
    }
    main.store().saveGame(name, state);
    return true;
}

SavedGames::Loaded SavedGames::deserialize() {
    Main& main = _session.main();
    if (main.isMultiUser())
        return Loaded::NONE;
    const std::string name = _session.userName();
    auto saved = main.store().loadGame(name);
    if (!saved)
        return Loaded::NONE;
    if (_login.guardsSavedGames() && !_login.mayUseSavedGame(Login::passwordIn(*saved, name)))
        return Loaded::REFUSED;
    // The game may have been saved under another player number: the
    // player's state takes this session's number.
    auto users = std::get<std::shared_ptr<Context>>(*saved->get(StateKeys::USERS));
    std::string saver = users->namesWhere(StateKeys::NAME, Context::Value(name)).front();
    if (std::string mine = std::to_string(_session.userID()); saver != mine)
        users->rename(saver, mine);
    Scenes::indexItems(*saved);
    _session.setContext(saved);
    return Loaded::YES;
}

bool SavedGames::exists() {
    Main& main = _session.main();
    try {
        return !main.isMultiUser() && main.store().loadGame(_session.userName()) != nullptr;
    } catch (const SerializationException&) {
        return true; // there is one, which loading tells cannot be read
    }
}

bool SavedGames::isIntroSeen() {
    return _session.context()->getBoolean(StateKeys::intro(_session.userID()));
}

void SavedGames::setIntroSeen() {
    _session.context()->setBoolean(StateKeys::intro(_session.userID()), true);
}

} // namespace zanfir
