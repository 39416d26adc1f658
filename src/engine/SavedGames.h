#pragma once

namespace zanfir {

class Adventure;
class Login;

// The single player's saved game (SALVA and CARICA) and whether the
// introduction was seen; a shared world saves nothing here.
class SavedGames {
public:
    SavedGames(Adventure& session, Login& login) : _session(session), _login(login) {}
    SavedGames(const SavedGames&) = delete;
    SavedGames& operator=(const SavedGames&) = delete;

    // Saves the player's state; false when the player could not give the
    // game's password.
    bool serialize();
    enum class Loaded { YES, NONE, REFUSED };
    // The saved game becomes the player's state: NONE when there is none,
    // REFUSED when its password was not given.
    Loaded deserialize();
    // Whether the player has a saved game (in a world of their own), even
    // one that cannot be read.
    bool exists();
    bool isIntroSeen();
    void setIntroSeen();

private:
    Adventure& _session;
    Login& _login;
};

} // namespace zanfir
