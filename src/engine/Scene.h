#pragma once

#include <memory>

#include "engine/Scenes.h"

namespace zanfir {

class Quote;

class Adventure;

// What a player sees of the place before each prompt: what others said to
// him, the place, its items and the other players; and the introduction at
// the beginning of a game.
class Scene {
public:
    explicit Scene(Adventure& session) : _session(session) {}
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // All of it, with one list of what is here for the items and players.
    void show();
    void printQuotes();
    void printLocation();
    void printItems();
    void printUsers();
    // The introduction, unless this game has shown it.
    void showIntro();
    // Tells the terminal where the player is (see Terminal::status): the
    // place's short description when it is plain text, else its name.
    void tellStatus();
    // While the player waits at the command prompt (awaitCommand), what is
    // queued for them is shown at once, and the prompt again (see
    // Terminal::takesLiveText); else it waits for the next scene.
    void awaitCommand(bool waiting) { _awaiting_command = waiting; }
    void showLive();

private:
    using Items = Scenes::Items;
    // Of the items shown here, those that are not players, and the other
    // players.
    void printItems(const std::shared_ptr<const Items>& here);
    void printUsers(const std::shared_ptr<const Items>& here);
    // The other players from the lines kept for the list: false, nothing
    // printed, when there are none to be kept.
    bool printPlayerLines(const std::shared_ptr<const Items>& here);
    void printQuote(const Quote& quote);

    Adventure& _session;
    bool _awaiting_command = false;
};

} // namespace zanfir
