#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace zanfir {

class Action;
class Context;
class Description;
class Input;
class Item;
class Location;
class Main;
class Output;
class Phrase;
class User;
class Word;

// One player's game session: its input and output, its player and the
// context it plays in, and the operations through which actions reach the
// world.
class Adventure {
public:
    Adventure(Main& main, std::unique_ptr<Input> in, std::unique_ptr<Output> out);
    virtual ~Adventure();
    Adventure(const Adventure&) = delete;
    Adventure& operator=(const Adventure&) = delete;

    virtual Input& in() const { return *_in; }
    virtual Output& out() const { return *_out; }
    virtual std::shared_ptr<User> user() const { return _user_item; }
    // The player's number, 0 before login.
    virtual std::int32_t userID() const;
    // The player's name as given at login, empty before.
    virtual std::string userName() const;
    virtual bool isRunning() const { return _running; }
    virtual bool isDead() const { return !_running; }
    virtual void quit() { _running = false; }

    // The player of this session and the context it plays in.
    virtual void setUser(std::shared_ptr<User> user, std::shared_ptr<Context> context);
    std::shared_ptr<Context> context() const { return _ctx; }
    Main& main() const { return _main; }

    // The player's position.
    virtual std::shared_ptr<Location> getLocation();

    // Queries on items for this session's player.
    virtual std::shared_ptr<Location> getItemLocation(Item& item);
    virtual bool isItemPresent(Item& item);
    virtual bool isItemHere(Item& item);
    virtual bool isItemUser(Item& item);
    virtual bool isItemMyself(Item& item);
    virtual bool isItemCarried(Item& item);
    virtual bool isItemSeen(Item& item);
    virtual bool isItemOwned(Item& item);
    virtual bool isItemHidden(Item& item);

    // World lookups.
    virtual std::shared_ptr<Location> location(const std::string& name);
    virtual std::shared_ptr<Item> item(const std::string& name);
    virtual std::shared_ptr<Word> verb(const std::string& text);
    virtual std::shared_ptr<Word> word(const std::string& text);

    virtual void print(Description& description);
    virtual void println(Description& description);
    virtual void println(const std::string& before, Description& description,
                         const std::string& after);
    virtual void print(const std::string& text);
    virtual void println(const std::string& text);
    virtual void println();
    virtual std::string readln();
    virtual std::string readln(const std::string& prompt);

    // Runs an action for this session, in a view of the state that shows
    // "GLOBAL", "USER" (this player) and the player's variables by name.
    virtual bool executeAction(Action& action);

private:
    Main& _main;
    std::unique_ptr<Input> _in;
    std::unique_ptr<Output> _out;
    std::shared_ptr<Context> _ctx;
    std::shared_ptr<User> _user_item;
    std::shared_ptr<const Phrase> _curr_phrase;
    std::atomic<bool> _running{false};
};

} // namespace zanfir
