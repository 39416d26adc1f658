#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "world/Item.h"

namespace zanfir {

class Quote;

// A player: an item that others see where it stands, with a number, a
// location of its own, the places it has seen and the quotes said to it.
class User : public Item {
public:
    User(int id, std::string name, std::shared_ptr<Description> descr);

    virtual int id() const { return _user_id; }
    // Past either limit of the queue the oldest sentences are dropped.
    virtual void putQuote(std::shared_ptr<User> from, const std::string& text);
    void setQuoteLimits(std::size_t count, std::size_t bytes);
    // A line for the player from no one (someone comes or goes), queued
    // with the quotes.
    void putNotice(const std::string& text);
    // The oldest quote, removed from the queue; none when there is none.
    virtual std::shared_ptr<Quote> getQuote();
    // Called (under the player's lock, from the thread of whoever queues)
    // at each quote or notice queued: the session playing them may show it
    // at once. Empty: none.
    void listen(std::function<void()> listener);
    virtual bool isLocationSeen(Adventure& adv, Context& ctx, const Location& loc);
    virtual void setLocationSeen(Adventure& adv, Context& ctx, const Location& loc, bool seen);

    std::shared_ptr<Location> getLocation(Adventure& adv, Context& ctx) override;
    void setLocation(Adventure& adv, Context& ctx, const Location& loc) override;
    // Moved by an action (`MARIO.goto`): the player stands there too.
    bool moveTo(Adventure& adv, Context& ctx, const Location& loc) override;
    void init(Context* global, Context* user) override;
    bool isUser(Adventure& adv, Context& ctx) const override;
    bool isMyself(Adventure& adv, Context& ctx) const override;
    // The session player's flag for this player, kept with their others.
    bool isSeen(Adventure& adv, Context& ctx) override;
    void setSeen(Adventure& adv, Context& ctx, bool seen) override;

    const std::string& userName() const { return _user_name; }

private:
    int _user_id;
    std::string _user_name;
    std::deque<std::shared_ptr<Quote>> _quotes;
    std::size_t _quote_bytes = 0;
    std::size_t _max_quotes = SIZE_MAX;
    std::size_t _max_quote_bytes = SIZE_MAX;
    std::function<void()> _listener;
};

} // namespace zanfir
