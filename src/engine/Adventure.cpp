#include "engine/Adventure.h"

#include "T.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "language/Description.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Fibers.h"
#include "runtime/Input.h"
#include "runtime/Log.h"
#include "runtime/Output.h"
#include "runtime/Settings.h"
#include "state/Context.h"
#include "state/StateStore.h"
#include "util/Util.h"
#include "world/EventTable.h"
#include "world/Item.h"
#include "world/Location.h"
#include "world/StateKeys.h"
#include "world/User.h"
#include <algorithm>
#include <thread>

namespace zanfir {

namespace {

void logFailure(const std::string& entity, const std::exception& error) {
    Log::writeG(entity, Log::FAIL, error);
    Debug::traceStackG(error);
}

// The author's trace of a player or an item moved.
void traceMove(const std::string& what, const std::string& from, const std::string& to) {
    Debug::stepG(what + from + T::TraceChange + to);
}

// A failure that ends the session: logged, and the first one kept.
void endingFailure(const std::string& entity, const std::exception& error, std::string& kept) {
    logFailure(entity, error);
    if (kept.empty())
        kept = Log::describeWithPlace(error);
}

} // namespace

Adventure::Adventure(Main& main, std::unique_ptr<Input> in, std::unique_ptr<Output> out)
    : _main(main), _in(std::move(in)), _out(std::move(out)) {}

Adventure::~Adventure() = default;

void Adventure::start(Fibers* fibers) {
    auto session = [self = shared_from_this()] { self->run(); };
    if (fibers)
        fibers->spawn(session);
    else
        std::thread(session).detach();
}

void Adventure::run() {
    if (_started)
        return;
    _started = true;
    struct Finish {
        Adventure& session;
        ~Finish() {
            session._out->flush();
            if (session._on_finished)
                session._on_finished();
            session._finished = true;
        }
    } finish{*this};
    bool logged = false;
    try {
        logged = _login.run();
    } catch (const std::exception& error) {
        endingFailure(entity(), error, _failure);
    }
    if (!logged)
        return;
    _running = true;
    Log::writeG(entity(), Log::INFO, T::AdventureBegin);
    try {
        play();
    } catch (const std::exception& error) {
        endingFailure(entity(), error, _failure);
    }
    if (_main.isStopping() || _taken_over) {
        println();
        println(_taken_over ? T::TakenOver : T::ServerStopping);
    }
    Log::writeG(entity(), Log::INFO, T::AdventureEnd);
    _out->flush(); // before the engine closes a connection
    _user_item->listen(nullptr);
    try {
        _main.removeAdventure(*this, *_ctx);
    } catch (const std::exception& error) {
        endingFailure(entity(), error, _failure);
    }
    _running = false;
}

void Adventure::play() {
    println();
    println();
    _scene.showIntro();
    // The session works in turns; reads inside a command give the turn back
    // while they wait.
    struct Turn {
        Adventure& session;
        explicit Turn(Adventure& owner) : session(owner) { session.takeTurn(); }
        ~Turn() { session.leaveTurn(); }
    } turn{*this};
    while (_running && _in->isAlive()) {
        limited([&] {
            println();
            _scene.show();
            println();
            println();
            onCommandPromptEnter();
        });
        _scene.tellStatus();
        // Waiting for the player is no turn: the idle moments never keep a
        // working session waiting. The player is answered (the prompt sent)
        // once what the command changed is durable.
        leaveTurn();
        _main.store().awaitDurable();
        _main.players().onEnterIdle();
        std::optional<std::string> command;
        try {
            do
                command = _commands.readCommand();
            while (command && command->empty());
        } catch (const std::exception& error) {
            endingFailure(entity(), error, _failure);
            command.reset();
        }
        _main.players().onExitIdle();
        if (!command)
            break;
        takeTurn();
        _commands.mark();
        limited([&] {
            onCommandPromptExit();
            println();
            _commands.run(*command);
        });
        _commands.remember(std::move(*command));
        if (!_running)
            _running = _ending.resume();
    }
}

void Adventure::limited(const std::function<void()>& work) {
    try {
        work();
    } catch (const CommandStoppedException& stopped) {
        logFailure(entity(), stopped);
        _out->beginCommand(); // room to say so
        println();
        println(T::CommandTooLong);
    }
}

void Adventure::takeOver() {
    _taken_over = true;
    _in->endInput();
}

void Adventure::refuse(const std::string& message) {
    println();
    println(message);
    println();
}

std::int32_t Adventure::userID() const {
    return _user_item ? _user_item->id() : 0;
}

std::string Adventure::userName() const {
    return _user_item ? _user_item->descr().text() : "";
}

void Adventure::setUser(std::shared_ptr<User> user, std::shared_ptr<Context> context) {
    _running = user != nullptr; // a session with a player plays
    _user_item = std::move(user);
    _ctx = std::move(context);
    if (_ctx)
        _commands.follow(_ctx);
}

void Adventure::setContext(std::shared_ptr<Context> context) {
    _ctx = std::move(context);
    _commands.follow(_ctx);
}

std::string Adventure::entity() const {
    return "Adventure [" + userName() + "]";
}

std::shared_ptr<Location> Adventure::getLocation() {
    if (!_user_item)
        return nullptr;
    auto player = _views.player(_ctx, userID());
    if (player && player == _position.player && player->changes() == _position.changes)
        return _position.location;
    // Read before the location: what is read is at least as new.
    std::uint64_t changes = player ? player->changes() : 0;
    auto location = _user_item->getLocation(*this, *_ctx);
    _position = {std::move(player), changes, location};
    return location;
}

void Adventure::setLocation(std::shared_ptr<Location> location, int direction) {
    auto current = getLocation();
    if (current && current->equals(location.get()))
        return;
    if (current)
        onLocationExit(*current);
    _user_item->setLocation(*this, *_ctx, *location);
    traceMove(T::TracePlayer, current ? current->name() : T::TraceNowhere, location->name());
    _presence.moved(current.get(), *location, direction);
    onLocationEnter(*location);
}

bool Adventure::isLocationSeen(Location& location) {
    return _user_item->isLocationSeen(*this, *_ctx, location);
}

void Adventure::setLocationSeen(Location& location) {
    _user_item->setLocationSeen(*this, *_ctx, location, true);
    onLocationSeen(location);
}

void Adventure::setLocationNotSeen(Location& location) {
    _user_item->setLocationSeen(*this, *_ctx, location, false);
}

std::shared_ptr<Location> Adventure::getItemLocation(Item& item) {
    return item.getLocation(*this, *_ctx);
}

bool Adventure::setItemLocation(Item& item, std::shared_ptr<Location> location) {
    auto current = getItemLocation(item);
    Debug::assertG(current != nullptr, "(getItemLocation(item) != null)");
    if (current && current->equals(location.get()))
        return true;
    if (current) {
        onItemLocationExit(item, *current);
        onLocationItemExit(*current, item);
    }
    if (!item.moveTo(*this, *_ctx, *location))
        return false;
    traceMove(T::TraceItem + item.name() + ": ", current ? current->name() : T::TraceCarried,
              location->name());
    onLocationItemEnter(*location, item);
    onItemLocationEnter(item, *location);
    return true;
}

std::vector<std::shared_ptr<Item>> Adventure::getItemsHere() {
    auto here = itemsHere(false);
    std::vector<std::shared_ptr<Item>> items;
    std::copy_if(here->begin(), here->end(), std::back_inserter(items),
                 [&](const auto& item) { return !isItemMyself(*item); });
    return items;
}

// One look into the index of the items' state by place, not one walk from
// the root per item (a shared world holds every player as an item); the
// items shown come from the list kept for the place.
std::shared_ptr<const Scenes::Items> Adventure::itemsHere(bool shown) {
    auto location = getLocation();
    auto state = _ctx->get(StateKeys::items());
    if (!location || !state || !std::holds_alternative<std::shared_ptr<Context>>(*state))
        return std::make_shared<const Scenes::Items>();
    const auto& items = *std::get<std::shared_ptr<Context>>(*state);
    if (shown)
        return _main.scenes().shown(items, location->name());
    std::vector<std::string> names;
    for (auto& [name, item] : items.nestedWhere(StateKeys::LOCATION, location->name()))
        names.push_back(std::move(name));
    return std::make_shared<const Scenes::Items>(_main.world().getItems(names));
}

std::vector<std::shared_ptr<Item>> Adventure::getItemsCarried() {
    std::vector<std::string> names;
    auto inventory = _ctx->get(StateKeys::inventory(userID()));
    if (inventory && std::holds_alternative<std::shared_ptr<Context>>(*inventory))
        for (const auto& [name, value] : std::get<std::shared_ptr<Context>>(*inventory)->entries())
            if (value == Context::Value(true))
                names.push_back(name);
    return _main.world().getItems(names);
}

bool Adventure::takeItem(Item& item) {
    auto current = getItemLocation(item);
    Debug::assertG(current != nullptr, "(getItemLocation(item) != null)");
    if (current) {
        onItemLocationExit(item, *current);
        onLocationItemExit(*current, item);
    }
    if (!item.takeUp(*this, *_ctx))
        return false;
    traceMove(T::TraceItem + item.name() + ": ", current ? current->name() : T::TraceNowhere,
              T::TraceCarried);
    onItemTake(item);
    return true;
}

bool Adventure::dropItem(Item& item) {
    auto here = getLocation();
    if (here) {
        onItemLocationEnter(item, *here);
        onLocationItemEnter(*here, item);
    }
    if (!item.dropDown(*this, *_ctx))
        return false;
    traceMove(T::TraceItem + item.name() + ": ", T::TraceCarried,
              here ? here->name() : T::TraceNowhere);
    onItemDrop(item);
    return true;
}

bool Adventure::isItemPresent(Item& item) {
    return item.isPresent(*this, *_ctx);
}

bool Adventure::isItemHere(Item& item) {
    return item.isHere(*this, *_ctx);
}

bool Adventure::isItemUser(Item& item) {
    return item.isUser(*this, *_ctx);
}

bool Adventure::isItemMyself(Item& item) {
    return item.isMyself(*this, *_ctx);
}

bool Adventure::isItemCarried(Item& item) {
    return item.isCarried(*this, *_ctx);
}

bool Adventure::isItemSeen(Item& item) {
    return item.isSeen(*this, *_ctx);
}

void Adventure::setItemSeen(Item& item) {
    item.setSeen(*this, *_ctx, true);
    onItemSeen(item);
}

bool Adventure::isItemOwned(Item& item) {
    return item.isOwned(*this, *_ctx);
}

bool Adventure::isItemHidden(Item& item) {
    return item.isHidden(*this, *_ctx);
}

void Adventure::hideItem(Item& item) {
    item.setHidden(*this, *_ctx, true);
    Debug::stepG(T::TraceItem + item.name() + T::TraceHidden);
    onItemHide(item);
}

void Adventure::unhideItem(Item& item) {
    item.setHidden(*this, *_ctx, false);
    Debug::stepG(T::TraceItem + item.name() + T::TraceShown);
    onItemUnhide(item);
}

void Adventure::fire(const char* type, const std::string& item, const std::string& location) {
    if (!_main.world().hasEvents(type))
        return; // no key of the type can find a handler
    for (const auto& [a, b] : EventTable::lookups(EventTable::find(type)->shape, item, location))
        fireEvent(type, a, b);
}

void Adventure::onCommandPromptEnter() {
    fire("COMMAND-PROMPT-ENTER");
}

void Adventure::onCommandPromptExit() {
    fire("COMMAND-PROMPT-EXIT");
}

void Adventure::onCommandDo(const Phrase&) {
    fire("COMMAND-DO");
}

void Adventure::onCommandUnknown(const Phrase&) {
    fire("COMMAND-UNKNOWN");
}

void Adventure::onItemTake(Item& item) {
    fire("ITEM-TAKE", item.name());
}

void Adventure::onItemDrop(Item& item) {
    fire("ITEM-DROP", item.name());
}

void Adventure::onItemHide(Item& item) {
    fire("ITEM-HIDE", item.name());
}

void Adventure::onItemUnhide(Item& item) {
    fire("ITEM-UNHIDE", item.name());
}

void Adventure::onItemSeen(Item& item) {
    fire("ITEM-SEEN", item.name());
}

void Adventure::onItemLocationEnter(Item& item, Location& location) {
    fire("ITEM-LOCATION-ENTER", item.name(), location.name());
}

void Adventure::onItemLocationExit(Item& item, Location& location) {
    fire("ITEM-LOCATION-EXIT", item.name(), location.name());
}

void Adventure::onLocationEnter(Location& location) {
    fire("LOCATION-ENTER", "", location.name());
}

void Adventure::onLocationExit(Location& location) {
    fire("LOCATION-EXIT", "", location.name());
}

void Adventure::onLocationSeen(Location& location) {
    fire("LOCATION-SEEN", "", location.name());
}

void Adventure::onLocationItemEnter(Location& location, Item& item) {
    fire("LOCATION-ITEM-ENTER", item.name(), location.name());
}

void Adventure::onLocationItemExit(Location& location, Item& item) {
    fire("LOCATION-ITEM-EXIT", item.name(), location.name());
}

void Adventure::fireEvent(const std::string& name, const std::optional<std::string>& a,
                          const std::optional<std::string>& b) {
    // The engine's own type names need neither trimming nor upper-casing.
    std::string key = Util::isTrimmedUpper(name) ? name : Util::toUpper(Util::trim(name));
    const std::size_t typeLength = key.size();
    for (const auto* part : {&a, &b})
        if (*part)
            key.append(":").append(**part);
    auto handler = _main.world().getEvent(key);
    if (!handler)
        return;
    Debug::stepG(T::TraceEvent + key + Description::traced(*handler));
    auto [item, location] =
        EventTable::itemAndLocation(std::string_view(key).substr(0, typeLength), {a, b});
    auto event = _ctx->nested(StateKeys::event(userID())); // one walk for both
    event->setString(StateKeys::inEventItem(), item);
    event->setString(StateKeys::inEventLocation(), location);
    executeAction(*handler);
}

bool Adventure::executeAction(Action& action, std::optional<bool> silent) {
    return _views.with(_ctx, userID(), [&](std::shared_ptr<Context> view) {
        return action.start({*this, std::move(view), _commands.phrase(), nullptr, silent});
    });
}

std::shared_ptr<Location> Adventure::location(const std::string& name) {
    return _main.world().getLocation(name);
}

std::shared_ptr<Item> Adventure::item(const std::string& name) {
    return _main.world().getItem(name);
}

std::shared_ptr<Item> Adventure::findItem(const std::string& name) {
    return _main.world().findItem(name);
}

std::shared_ptr<Word> Adventure::verb(const std::string& text) {
    return _main.world().getVerb(text);
}

std::shared_ptr<Word> Adventure::word(const std::string& text) {
    return _main.world().getWord(text);
}

std::shared_ptr<Description> Adventure::messageIntro() {
    return _main.getIntro();
}

std::shared_ptr<Description> Adventure::messageDead() {
    return _main.getDead();
}

std::shared_ptr<Description> Adventure::message(const std::string& name) {
    return _main.world().getMessage(name);
}

void Adventure::print(Description& description, std::optional<bool> silent) {
    // A text without blocks needs no action context to be printed.
    if (description.isPlain()) {
        if (!silent.value_or(description.isSilent()))
            print(description.text());
        return;
    }
    executeAction(description, silent);
}

void Adventure::println(Description& description) {
    print(description);
    println();
}

void Adventure::println(const std::string& before, Description& description,
                        const std::string& after) {
    if (description.isPlain() && !description.isSilent()) { // one line, written at once
        println(before + description.text() + after);
        return;
    }
    print(before);
    print(description);
    println(after);
}

void Adventure::print(const std::string& text) {
    _out->print(text);
}

void Adventure::println(const std::string& text) {
    _out->println(text);
}

void Adventure::println() {
    _out->println("");
}

// A turn has its limits: steps of the author's actions, text printed.
void Adventure::takeTurn() {
    _main.turns().beginTurn();
    _in_turn = true;
    _actions.steps_budget = _actions.steps_left = _main.settings().command_steps;
    _out->beginCommand();
}

void Adventure::leaveTurn() {
    if (_in_turn)
        _main.turns().endTurn();
    _in_turn = false;
    _actions.steps_budget = _actions.steps_left = -1;
    _out->endCommand();
}

std::string Adventure::readln(const std::string& prompt, bool hidden) {
    for (;;) {
        print(prompt);
        std::string line = outsideTurn([&] { return _in->readln(hidden); });
        if (!_in->refused())
            return line;
        println(T::LineTooLong + std::to_string(_in->most()) + T::LineTooLongX);
    }
}

void Adventure::sleep(std::int32_t milliseconds) {
    outsideTurn([&] {
        _out->flush();
        Fibers::sleepFor(std::chrono::milliseconds(milliseconds));
        return std::string();
    });
}

bool Adventure::askYesNoQuestion(const std::string& prompt) {
    bool answer = false;
    std::string line;
    while (line.empty()) {
        line = readln(prompt);
        if (!_in->isAlive())
            return answer;
        if (!line.empty())
            answer = Util::toUpper(line.substr(0, 1)) == std::string(1, T::Yes);
    }
    return answer;
}

void Adventure::pressAnyKey() {
    println();
    readln(T::PressAnyKey);
    println();
}

} // namespace zanfir
