#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ActionViews.h"
#include "engine/Commands.h"
#include "engine/Ending.h"
#include "engine/Login.h"
#include "engine/Presence.h"
#include "engine/SavedGames.h"
#include "engine/Scene.h"
#include "language/Action.h"

namespace zanfir {

class Action;
class Context;
class Description;
class Fibers;
class FrontEnd;
class Input;
class Item;
class Location;
class Main;
class Output;
class Phrase;
class User;
class Word;

// One player's game session, run on a thread of its own: the command loop,
// and the operations through which actions change the world and fire the
// adventure's events. Its parts: the login, the saved games, the scene and
// the commands.
class Adventure final : public std::enable_shared_from_this<Adventure> {
public:
    Adventure(Main& main, std::unique_ptr<Input> in, std::unique_ptr<Output> out);
    ~Adventure();
    Adventure(const Adventure&) = delete;
    Adventure& operator=(const Adventure&) = delete;

    // Runs the session in a fiber of `fibers`, or without them on a new
    // detached thread.
    void start(Fibers* fibers = nullptr);
    // The whole session: login, the command loop, the logout.
    void run();

    Input& in() const { return *_in; }
    Output& out() const { return *_out; }
    std::shared_ptr<User> user() const { return _user_item; }
    // The player's number, 0 before login.
    std::int32_t userID() const;
    // The player's name as given at login, empty before.
    std::string userName() const;
    bool isRunning() const { return _running; }
    // The session has run and ended (its thread does nothing more).
    bool isFinished() const { return _finished; }
    // Called on the session's thread when the session ends, logged in or not.
    void setOnFinished(std::function<void()> hook) { _on_finished = std::move(hook); }
    // The failure that ended the session ("Eccezione " + class + ": " +
    // message, and on a line of its own where it stands in the adventure's
    // files, when known); empty when it ended normally. Known before
    // the session hands its player back.
    const std::string& failure() const { return _failure; }
    // The front-end that serves this session, its connection number there
    // and the client's address; set before the session starts.
    void setConnection(FrontEnd* frontEnd, std::int32_t connection, std::string address) {
        _front_end = frontEnd;
        _connection = connection;
        _address = std::move(address);
    }
    FrontEnd* frontEnd() const { return _front_end; }
    std::int32_t connection() const { return _connection; }
    bool isDead() const { return !_running; }
    void quit() { _running = false; }
    // The player logged in again elsewhere: this session ends, telling its
    // client why. Called from another thread.
    void takeOver();

    // The player of this session and the context it plays in; with a
    // player the session runs.
    void setUser(std::shared_ptr<User> user, std::shared_ptr<Context> context);
    std::shared_ptr<Context> context() const { return _ctx; }
    // The context the player plays in from now on (a game loaded): what
    // came before is not taken back.
    void setContext(std::shared_ptr<Context> context);

    // The session's parts.
    SavedGames& savedGames() { return _saved_games; }
    Scene& scene() { return _scene; }
    Commands& commands() { return _commands; }
    Ending& ending() { return _ending; }
    Main& main() const { return _main; }
    // The log's entity for this session: "Adventure [name]".
    std::string entity() const;

    // The player's position.
    std::shared_ptr<Location> getLocation();
    // `direction` (a Location bit; 0: none) tells the others which way.
    void setLocation(std::shared_ptr<Location> location, int direction = 0);
    bool isLocationSeen(Location& location);
    void setLocationSeen(Location& location);
    void setLocationNotSeen(Location& location);

    // Items, for this session's player.
    std::shared_ptr<Location> getItemLocation(Item& item);
    // These three fire the events of the change and say whether it was made:
    // another player may have taken the item, or it may have been moved, in
    // the meantime.
    bool setItemLocation(Item& item, std::shared_ptr<Location> location);
    // Every item here but the player, players included, in load order.
    std::vector<std::shared_ptr<Item>> getItemsHere();
    // The items in the player's place, the player among them, in the order
    // of the inventory; without the hidden ones when `shown` (then the list
    // kept for the place: see Scenes).
    std::shared_ptr<const Scenes::Items> itemsHere(bool shown);
    std::vector<std::shared_ptr<Item>> getItemsCarried();
    bool takeItem(Item& item);
    bool dropItem(Item& item);
    bool isItemPresent(Item& item);
    bool isItemHere(Item& item);
    bool isItemUser(Item& item);
    bool isItemMyself(Item& item);
    bool isItemCarried(Item& item);
    bool isItemSeen(Item& item);
    void setItemSeen(Item& item);
    bool isItemOwned(Item& item);
    bool isItemHidden(Item& item);
    void hideItem(Item& item);
    void unhideItem(Item& item);

    // Event hooks.
    void onCommandPromptEnter();
    void onCommandPromptExit();
    void onCommandDo(const Phrase& phrase);
    void onCommandUnknown(const Phrase& phrase);
    void onItemTake(Item& item);
    void onItemDrop(Item& item);
    void onItemHide(Item& item);
    void onItemUnhide(Item& item);
    void onItemLocationEnter(Item& item, Location& location);
    void onItemLocationExit(Item& item, Location& location);
    void onItemSeen(Item& item);
    void onLocationEnter(Location& location);
    void onLocationExit(Location& location);
    void onLocationSeen(Location& location);
    void onLocationItemEnter(Location& location, Item& item);
    void onLocationItemExit(Location& location, Item& item);

    // World lookups.
    std::shared_ptr<Location> location(const std::string& name);
    std::shared_ptr<Item> item(const std::string& name);
    // The item of that name, or none.
    std::shared_ptr<Item> findItem(const std::string& name);
    std::shared_ptr<Word> verb(const std::string& text);
    std::shared_ptr<Word> word(const std::string& text);
    std::shared_ptr<Description> messageIntro();
    std::shared_ptr<Description> messageDead();
    std::shared_ptr<Description> message(const std::string& name);

    // Prints a description: `silent` overrides its own flag (a message
    // print lends its own).
    void print(Description& description, std::optional<bool> silent = std::nullopt);
    void println(Description& description);
    void println(const std::string& before, Description& description, const std::string& after);
    void print(const std::string& text);
    void println(const std::string& text);
    void println();
    // Prints the prompt and reads a line (`hidden`: a password); a line
    // refused for its length is told and the prompt comes again.
    std::string readln(const std::string& prompt, bool hidden = false);
    std::string readlnH(const std::string& prompt) { return readln(prompt, true); }
    bool askYesNoQuestion(const std::string& prompt);
    void pressAnyKey();
    // Sleeps without holding a turn.
    void sleep(std::int32_t milliseconds);

    void fireEvent(const std::string& name, const std::optional<std::string>& a = {},
                   const std::optional<std::string>& b = {});
    // Runs an action for this session, in a view of the state that shows
    // "GLOBAL", "USER" (this player) and the player's variables by name.
    bool executeAction(Action& action, std::optional<bool> silent = std::nullopt);
    // What the actions of the session's command share: nesting, steps, ifs.
    ActionState& actionState() { return _actions; }
    // Tells the player a refusal, between empty lines.
    void refuse(const std::string& message);
    // The client's address; empty on the console.
    const std::string& address() const { return _address; }
    // Runs a read outside the session's turn.
    template <class Read>
    auto outsideTurn(Read read) -> decltype(read()) {
        bool turn = _in_turn;
        leaveTurn();
        struct Back {
            Adventure& session;
            bool turn;
            ~Back() {
                if (turn)
                    session.takeTurn();
            }
        } back{*this, turn};
        return read();
    }

private:
    void play();
    // Runs part of a turn; a command stopped at a limit is logged and told,
    // and the session goes on.
    void limited(const std::function<void()>& work);
    void takeTurn();
    void leaveTurn();
    // Fires an event of the table for an item and a place, each key in turn.
    void fire(const char* type, const std::string& item = "", const std::string& location = "");

    Main& _main;
    std::unique_ptr<Input> _in;
    std::unique_ptr<Output> _out;
    std::shared_ptr<Context> _ctx;
    std::shared_ptr<User> _user_item;
    ActionState _actions;
    ActionViews _views;
    // The player's location as last read, with his context and its changes
    // then: while they stay, so does his location.
    struct Position {
        std::shared_ptr<Context> player;
        std::uint64_t changes = 0;
        std::shared_ptr<Location> location;
    };
    Position _position;
    std::atomic<bool> _running{false};
    std::atomic<bool> _finished{false};
    std::atomic<bool> _taken_over{false};
    std::function<void()> _on_finished;
    FrontEnd* _front_end = nullptr;
    std::int32_t _connection = 0;
    std::string _address; // empty on the console
    Login _login{*this, _main};
    SavedGames _saved_games{*this, _login};
    Scene _scene{*this};
    Presence _presence{*this};
    Commands _commands{*this};
    Ending _ending{*this};
    bool _started = false;
    bool _in_turn = false;
    std::string _failure;
};

} // namespace zanfir
