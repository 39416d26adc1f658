#include "engine/Login.h"

#include "engine/Adventure.h"

#include "T.h"
#include "engine/Gatekeeper.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "engine/ResumeTokens.h"
#include "engine/Scene.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Fibers.h"
#include "runtime/Input.h"
#include "runtime/Log.h"
#include "runtime/Output.h"
#include "runtime/Settings.h"
#include "runtime/Terminal.h"
#include "state/Context.h"
#include "state/StateStore.h"
#include "state/ref/ObjectRef.h"
#include "util/PasswordHash.h"
#include "util/Util.h"
#include "world/StateKeys.h"
#include "world/User.h"
#include "world/Word.h"

namespace zanfir {

namespace {

// A player's name becomes a file name, a context name and an item name:
// only letters (accented ones too) and digits are allowed.
bool isPlainName(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) && c < 0x80)
            continue;
        auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c == 0xC3 && next >= 0x80 && next <= 0xBF && next != 0x97 && next != 0xB7) {
            ++i;
            continue;
        }
        return false;
    }
    return !name.empty();
}

} // namespace

Login::Login(Adventure& session, Main& main) : _session(session), _main(main) {}

// A client (not the console) meets the gatekeeper's limits: guesses of a
// password are slowed, counted and cut, new players are throttled.
bool Login::run() {
    using Clock = std::chrono::steady_clock;
    const Settings& settings = _main.settings();
    _session.in().limitReads(std::chrono::milliseconds(0), Clock::now() + settings.login_timeout);
    Gatekeeper* gate = _session.address().empty() ? nullptr : &_main.gatekeeper();
    _session.println();
    if (resume())
        return true;
    if (gate) { // a client sees what it came to first
        _session.println(settings.title);
        if (!settings.welcome.empty())
            _session.println(settings.welcome);
        _session.println();
    }
    for (;;) {
        if (lockedOut())
            return false;
        auto typed = readName();
        if (!typed || lockedOut()) // by guesses on other connections meanwhile
            return false;
        std::string name = Util::capitalize(*typed);
        if (nameLockedOut(name))
            continue;
        std::string password;
        bool known = false;
        if (_main.isMultiUser()) {
            known = _main.players().userExist(name);
            if (!known) { // told before a password is asked, counted once it is chosen
                if (gate && gate->newPlayersSpent(_session.address())) {
                    _session.refuse(T::TooManyNewPlayers);
                    continue;
                }
                _session.println(T::NewName);
            }
            auto first = readPassword();
            if (!first || lockedOut()) // by guesses on other connections meanwhile
                return false;
            if (nameLockedOut(name))
                continue;
            if (!known) { // a known player's is checked as they are admitted
                auto again = readPasswordAgain();
                if (!again)
                    return false;
                if (*again != *first) {
                    _session.refuse(T::PasswordNotMatch);
                    continue;
                }
                if (gate && !gate->mayCreatePlayer(_session.address())) {
                    _session.refuse(T::TooManyNewPlayers);
                    continue;
                }
            }
            password = *first;
        } else if (guardsSavedGames()) {
            if (auto stored = savedGamePassword(name);
                stored && !proveGamePassword(name, *stored)) {
                if (!_session.in().isAlive() || _wrong_passwords >= MAX_WRONG_PASSWORDS)
                    return false;
                continue;
            }
        }
        ObjectRef holder;
        std::shared_ptr<User> player;
        bool wrong = false;
        try {
            player =
                _main.players().addAdventure(_session.shared_from_this(), holder, name, password);
        } catch (const LoginRefusedException& refusal) {
            _session.refuse(refusal.what());
            wrong = refusal.wrongPassword();
            if (!wrong)
                continue;
        }
        if (wrong) { // its wait is out of the handler, which would keep the thread
            if (!wrongPassword(name))
                return false;
            continue;
        }
        if (player) {
            admitted(player, holder, name);
            if (known)
                _session.println(T::WelcomeBack + name + T::WelcomeBackX);
            return true;
        }
    }
}

// A page reloaded in a shared world presents its token instead of a
// password; a token refused is said, and the player logs in as ever.
bool Login::resume() {
    Terminal& terminal = _session.out().terminal();
    std::string token = terminal.resumeTokenGiven();
    if (token.empty() || !_main.isMultiUser())
        return false;
    auto name = _main.resumeTokens().redeem(token, _session.address());
    ObjectRef holder;
    std::shared_ptr<User> player;
    try {
        if (name)
            player =
                _main.players().addAdventure(_session.shared_from_this(), holder, *name, "", true);
    } catch (const LoginRefusedException&) { // the player is gone meanwhile
    }
    if (!player) {
        Log::writeG(_session.entity(), Log::WARN, T::ResumeRefusedLog + _session.address());
        _session.refuse(T::ResumeRefused);
        return false;
    }
    admitted(player, holder, *name);
    return true;
}

void Login::admitted(const std::shared_ptr<User>& player, ObjectRef& holder,
                     const std::string& name) {
    _session.setUser(player, holder.as<Context>());
    _session.in().limitReads(_main.settings().idle_timeout,
                             std::chrono::steady_clock::time_point::max());
    Terminal& terminal = _session.out().terminal();
    if (_main.isMultiUser() && _main.settings().live_messages && terminal.takesLiveText()) {
        terminal.onLive([this] { _session.scene().showLive(); });
        player->listen([shown = _session.out().sharedTerminal()] { shown->wake(); });
    }
    if (_main.isMultiUser() && terminal.keepsResumeTokens())
        terminal.giveResumeToken(_main.resumeTokens().issue(name, _session.address()));
}

bool Login::wrongPassword(const std::string& name) {
    Log::writeG(_session.entity(), Log::WARN,
                T::LoginFailed + Util::clip(name, Log::CLIENT_TEXT) + T::LoginFailedX +
                    (_session.address().empty() ? "console" : _session.address()));
    if (!_session.address().empty())
        _main.gatekeeper().loginFailed(_session.address(), name);
    if (++_wrong_passwords >= MAX_WRONG_PASSWORDS) {
        _session.println(T::ThreeWrongPasswords);
        _session.in().endInput();
        return false;
    }
    // A guess costs time: the player waits, holding nothing.
    _session.outsideTurn([this] {
        _session.out().flush();
        Fibers::sleepFor(WRONG_PASSWORD_WAIT);
        return std::string();
    });
    return true;
}

bool Login::lockedOut() {
    if (_session.address().empty() || !_main.gatekeeper().lockedOut(_session.address()))
        return false;
    _session.refuse(T::TooManyFailures);
    _session.in().endInput();
    return true;
}

bool Login::nameLockedOut(const std::string& name) {
    if (_session.address().empty() || !_main.gatekeeper().lockedOut(_session.address(), name))
        return false;
    _session.refuse(T::NameLockedOut);
    return true;
}

bool Login::guardsSavedGames() const {
    return !_main.isMultiUser() && !_session.address().empty() && _main.settings().remote_passwords;
}

std::optional<std::string> Login::passwordIn(Context& game, const std::string& name) {
    auto users = std::get<std::shared_ptr<Context>>(*game.get(StateKeys::USERS));
    std::string saver = users->namesWhere(StateKeys::NAME, Context::Value(name)).front();
    auto stored = users->get(saver + "." + StateKeys::PASSWORD);
    if (stored && std::holds_alternative<std::string>(*stored))
        return std::get<std::string>(*stored);
    return std::nullopt;
}

std::optional<std::string> Login::savedGamePassword(const std::string& name) {
    try {
        if (auto game = _main.store().loadGame(name))
            return passwordIn(*game, name);
    } catch (const SerializationException& error) { // no game that can be loaded
        Log::writeG(_session.entity(), Log::WARN, error);
    }
    return std::nullopt;
}

bool Login::mayUseSavedGame(const std::optional<std::string>& stored) {
    return !stored || *stored == _game_password || proveGamePassword(_session.userName(), *stored);
}

bool Login::proveGamePassword(const std::string& name, const std::string& stored) {
    auto typed = readPassword();
    if (!typed || lockedOut())
        return false;
    if (!_session.outsideTurn([&] { return PasswordHash::verify(stored, *typed); })) {
        _session.refuse(T::WrongPassword);
        wrongPassword(name);
        return false;
    }
    _game_password = stored;
    return true;
}

std::optional<std::string> Login::readName() {
    for (;;) {
        std::string line = _session.readln(T::WhatsYourName);
        if (!_session.in().isAlive())
            return std::nullopt;
        auto words = Util::split(line);
        if (words.empty())
            continue;
        if (words.size() > 1) {
            _session.refuse(T::UseSingleWordName);
            continue;
        }
        // Longer names kept by an older version still log in.
        if (Util::length(words[0]) > MAX_NAME &&
            !_main.players().userExist(Util::capitalize(words[0]))) {
            _session.refuse(T::NameTooLong);
            continue;
        }
        std::string upper = Util::toUpper(words[0]);
        bool known = _main.world().blankIfIgnorable(upper).empty();
        try {
            _main.world().resolveSynonym(upper, Word::ITEM_WORD);
            known = true;
        } catch (const WordNotFoundException&) {
        } catch (const VerbNotFoundException&) {
            Debug::assertG(false, "false");
            known = true;
        }
        // A player's name is a word while they play: they may come in again.
        if (known && _main.isMultiUser() && _main.players().userExist(Util::capitalize(words[0]))) {
            try {
                known = !_main.world().getUser(upper);
            } catch (const Exception&) { // no player's item: a word of the adventure
            }
        }
        if (!known && isPlainName(words[0]))
            return words[0];
        _session.refuse(T::AmbiguousName);
    }
}

std::optional<std::string> Login::readPassword() {
    for (;;) {
        std::string line = _session.readlnH(T::WhatsYourPassword);
        if (!_session.in().isAlive())
            return std::nullopt;
        std::string password = Util::trim(line);
        if (Util::length(password) >= 4)
            return password;
        _session.refuse(T::PasswordTooShort);
    }
}

std::optional<std::string> Login::readPasswordAgain() {
    std::string line = _session.readlnH(T::RedigitYourPassword);
    if (!_session.in().isAlive())
        return std::nullopt;
    return Util::trim(line);
}

} // namespace zanfir
