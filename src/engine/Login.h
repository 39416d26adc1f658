#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace zanfir {

class Adventure;
class Context;
class Main;
class ObjectRef;
class User;

// How a player comes in, and the passwords a session has proven. In a
// shared world a new name chooses its password (asked twice) and a known
// one is checked as the player is admitted; in a world per connection a
// remote player's saved game may be kept under a password (RemotePasswords),
// asked at login and before a save or load over it. Wrong passwords are
// logged, told to the gatekeeper, cost a pause and end the connection at the
// third; a name locked for the address, or an address locked out, is refused
// before any password is checked.
class Login {
public:
    // The longest name a new player may take, in characters.
    static constexpr std::size_t MAX_NAME = 20;
    // Wrong passwords a connection may give before it is closed, and the
    // wait after each.
    static constexpr int MAX_WRONG_PASSWORDS = 3;
    static constexpr std::chrono::milliseconds WRONG_PASSWORD_WAIT{1000};

    Login(Adventure& session, Main& main);

    // Asks until a player is admitted (true) or the session is to end.
    bool run();

    // Whether a remote player's saved games are kept under a password.
    bool guardsSavedGames() const;
    // The hash a saved game of that name is kept under; none when there is
    // no such game, or it was saved without a password.
    std::optional<std::string> savedGamePassword(const std::string& name);
    static std::optional<std::string> passwordIn(Context& game, const std::string& name);
    // Whether this session may load or save over its saved game, kept under
    // `stored`: it gave that password (asked now when it has not).
    bool mayUseSavedGame(const std::optional<std::string>& stored);
    // The hash this session's saved game is kept under; empty until one was
    // proven or chosen.
    const std::string& gamePassword() const { return _game_password; }
    void setGamePassword(std::string hash) { _game_password = std::move(hash); }

    // A password of at least four characters, masked; none at the end of
    // the input.
    std::optional<std::string> readPassword();
    std::optional<std::string> readPasswordAgain();

private:
    std::optional<std::string> readName();
    // Takes up the player of the token a reloaded page presented; false
    // when there is none, or it is refused.
    bool resume();
    // The player is in: the session plays as them, and a page is given a
    // token to come back with.
    void admitted(const std::shared_ptr<User>& player, ObjectRef& holder, const std::string& name);
    // Logs and counts a wrong password given for `name` on this connection;
    // false when the connection is to end.
    bool wrongPassword(const std::string& name);
    // Whether the client's address is locked out now (too many wrong
    // passwords came from it, on any connection): then it is told so and its
    // input ends, and no password it typed is checked.
    bool lockedOut();
    // Whether `name` is locked for the client's address now (too many wrong
    // passwords for it came from there): then it is told so, and no
    // password is asked or checked for it.
    bool nameLockedOut(const std::string& name);
    // Asks the password of the saved game of `name`, kept under `stored`;
    // true when it was given (the session may then save and load it).
    bool proveGamePassword(const std::string& name, const std::string& stored);

    Adventure& _session;
    Main& _main;
    int _wrong_passwords = 0;
    std::string _game_password;
};

} // namespace zanfir
