#pragma once

namespace zanfir {

class Adventure;

// The end of a game (a death, an ending). In a world of one's own the
// player may take the last move back, load the saved game, start again or
// leave; in a shared world, and at the end of the input, the player leaves.
class Ending {
public:
    explicit Ending(Adventure& session) : _session(session) {}
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;

    // Ends the game, asking the player what comes next: the rest of the
    // command does not run.
    void offer();
    // After that command, takes the player's choice; false when the player
    // leaves.
    bool resume();

private:
    enum class Choice { LEAVE, UNDO, LOAD, RESTART };

    Choice ask();
    // False, told why, when the choice could not be taken.
    bool take(Choice choice);

    Adventure& _session;
    Choice _choice = Choice::LEAVE;
};

} // namespace zanfir
