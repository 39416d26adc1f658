#include "engine/Adventure.h"

#include "T.h"
#include "engine/Main.h"
#include "engine/Scenes.h"
#include "engine/UndoLog.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "state/StateStore.h"
#include "util/PasswordHash.h"
#include "world/Item.h"
#include "world/StateKeys.h"
#include "world/User.h"

namespace zanfir {

// Behind RemotePasswords a remote player's saved game is kept under a
// password, chosen at the first save and asked at every later login; a
// session that did not give it (the game was protected after it logged in)
// is asked before it saves or loads.
bool Adventure::serialize() {
    if (_main.isMultiUser())
        return true;
    if (_login.guardsSavedGames()) {
        if (!_login.mayUseSavedGame(_login.savedGamePassword(userName())))
            return false;
        if (_login.gamePassword().empty()) { // the name's first game under a password
            println(T::ChooseGamePassword);
            std::optional<std::string> first, again;
            do {
                if (first)
                    refuse(T::PasswordNotMatch);
                first = _login.readPassword();
                again = first ? _login.readPasswordAgain() : std::nullopt;
                if (!again)
                    return false;
            } while (*again != *first);
            try {
                _login.setGamePassword(outsideTurn([&] { return PasswordHash::hash(*first); }));
            } catch (const Exception& error) {
                throw SerializationException(error.what());
            }
        }
        _ctx->setString(StateKeys::userPassword(userID()), _login.gamePassword());
    }
    _main.store().saveGame(userName(), *_ctx);
    return true;
}

bool Adventure::deserialize() {
    if (_main.isMultiUser())
        return true;
    auto saved = _main.store().loadGame(userName());
    if (!saved || (_login.guardsSavedGames() &&
                   !_login.mayUseSavedGame(Login::passwordIn(*saved, userName()))))
        return false;
    // The game may have been saved under another player number: the
    // player's state takes this session's number.
    auto users = std::get<std::shared_ptr<Context>>(*saved->get(StateKeys::USERS));
    std::string saver = users->namesWhere(StateKeys::NAME, Context::Value(userName())).front();
    if (std::string mine = std::to_string(userID()); saver != mine)
        users->rename(saver, mine);
    Scenes::indexItems(*saved);
    _ctx = saved;
    if (_undo)
        _undo->follow(_ctx); // what came before the load is not taken back
    return true;
}

bool Adventure::isIntroSeen() {
    return _ctx->getBoolean(StateKeys::intro(userID()));
}

void Adventure::setIntroSeen() {
    _ctx->setBoolean(StateKeys::intro(userID()), true);
}

} // namespace zanfir
