#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zanfir {

class Action;
class Adventure;
class Context;
class Location;
class Phrase;
class UndoLog;
class Word;

// The player's commands: a line read, parsed into a phrase, resolved to
// the binding it calls and run; the last one taken back or run again.
class Commands {
public:
    explicit Commands(Adventure& session);
    ~Commands();
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    // The state the commands change from now on: what came before is not
    // taken back. A shared world takes nothing back.
    void follow(std::shared_ptr<Context> state);

    std::optional<std::string> readCommand();
    std::vector<std::shared_ptr<Word>> resolveWords(const std::string& text);
    std::shared_ptr<const Phrase> parseCommand(const std::string& line);
    void storePhrase(const Phrase& phrase);
    std::shared_ptr<Action> resolveCommand(Location& location, const Phrase& phrase);
    std::shared_ptr<Action> resolveCommand(const std::string& entity, const Phrase& phrase,
                                           int mask = 0);
    bool executeCommand(std::shared_ptr<const Phrase> phrase);

    // One command line: mark() before its events (what they change is
    // taken back with it), run() to parse and execute it, remember() after.
    void mark();
    void run(const std::string& line);
    // The line is the one again() runs, unless it ran again() itself.
    void remember(std::string line);
    // The phrase of the command running, none when it could not be parsed.
    const std::shared_ptr<const Phrase>& phrase() const { return _phrase; }

    // Puts the player's world back as it was before their last command, and
    // says so; false, told why, when there is none to take back or the
    // world is shared.
    bool undo();
    // Whether the command running can be taken back, after it, with undo().
    bool canTakeBackRunning() const;
    // Runs the player's last command line again (not one that ran `again`);
    // false, told why, when there is none.
    bool again();

private:
    // The action bound to the phrase where the player is; none when no binding matches.
    std::shared_ptr<Action> resolveHere(const Phrase& phrase);

    Adventure& _session;
    std::shared_ptr<const Phrase> _phrase;
    std::unique_ptr<UndoLog> _undo; // none in a shared world
    std::string _last_line;         // the last command line, for again()
    bool _repeated = false;         // the running command ran again()
};

} // namespace zanfir
