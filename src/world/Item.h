#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace zanfir {

class Adventure;
class Context;
class Description;
class Location;

// An object of the world. Its definition is fixed at load time; its state
// lives in the root context a session plays in, under "GLOBAL.ITEMS." +
// name (location, hidden, player mark) and "USER." + id (inventory and
// seen flags of the session's player).
class Item {
public:
    Item(std::string name, std::shared_ptr<Description> descr,
         std::shared_ptr<Description> lookDescr, std::shared_ptr<Description> firstDescr,
         bool visible, bool carriable);
    virtual ~Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    virtual const std::string& name() const { return _name; }
    virtual Description& descr() const { return *_descr; }
    virtual Description* descrLook() const { return _look_descr.get(); }
    virtual Description* descrFirst() const { return _first_descr.get(); }
    virtual bool visible() const { return _visible; }
    virtual bool carriable() const { return _carriable; }
    virtual bool hasLookDescription() const { return _look_descr != nullptr; }
    virtual bool hasFirstDescription() const { return _first_descr != nullptr; }

    // Where the item lies; none while carried or nowhere. Throws
    // LocationNotFoundException for a stored name the map lacks.
    virtual std::shared_ptr<Location> getLocation(Adventure& adv, Context& ctx);
    virtual void setLocation(Adventure& adv, Context& ctx, const Location& loc);
    // The changes of place that players race for check and change in one
    // step under the item's lock, so that an item is never in two places:
    // taking succeeds only while the item lies, not hidden, where the player
    // is; dropping only while the player carries it; moving only while it
    // lies in some place. False when the item was no longer there.
    virtual bool takeUp(Adventure& adv, Context& ctx);
    // Hands the item the session's player carries to the player of that
    // number: false when it is not carried (any more).
    virtual bool handTo(Adventure& adv, Context& ctx, int receiver);
    virtual bool dropDown(Adventure& adv, Context& ctx);
    virtual bool moveTo(Adventure& adv, Context& ctx, const Location& loc);
    virtual void deleteAll(Adventure& adv, Context& ctx);
    virtual bool isSeen(Adventure& adv, Context& ctx);
    virtual void setSeen(Adventure& adv, Context& ctx, bool seen);
    virtual bool isOwned(Adventure& adv, Context& ctx);
    virtual bool isHidden(Adventure& adv, Context& ctx);
    // Hiding drops a carried item first; an item that lies nowhere (or that
    // another player carries) cannot be hidden: ItemNotOwnedException.
    virtual void setHidden(Adventure& adv, Context& ctx, bool hidden);
    virtual bool isPresent(Adventure& adv, Context& ctx);
    virtual bool isHere(Adventure& adv, Context& ctx);
    virtual bool isCarried(Adventure& adv, Context& ctx);
    virtual bool isUser(Adventure& adv, Context& ctx) const;
    virtual bool isMyself(Adventure& adv, Context& ctx) const;

    virtual void initCarried(bool carried);
    virtual void initHidden(bool hidden);
    virtual void initLocation(const std::string& location);
    // Writes the initial state into the given contexts (either may be none).
    virtual void init(Context* global, Context* user);

    // The item's place in the engine's order: items by load order, then
    // players by login.
    std::uint64_t order() const { return _order; }
    void setOrder(std::uint64_t order) { _order = order; }

    const std::string& initialLocation() const { return _init_location; }
    bool initiallyCarried() const { return _init_carried; }
    bool initiallyHidden() const { return _init_hidden; }

protected:
    std::string locationName(Context& ctx);
    void dropAt(Adventure& adv, Context& ctx, const std::string& location);

    mutable std::recursive_mutex _lock;

private:
    std::string _name;
    std::shared_ptr<Description> _descr;
    std::shared_ptr<Description> _look_descr;
    std::shared_ptr<Description> _first_descr;
    bool _visible;
    bool _carriable;
    std::string _init_location;
    bool _init_carried = false;
    bool _init_hidden = true;
    std::uint64_t _order = 0;
};

} // namespace zanfir
