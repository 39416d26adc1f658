#include "adventure/Adventure.h"

#include <algorithm>
#include <thread>

#include "Gatekeeper.h"
#include "Main.h"
#include "T.h"
#include "adventure/Action.h"
#include "adventure/Description.h"
#include "adventure/EventTable.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/Phrase.h"
#include "adventure/Quote.h"
#include "adventure/Scenes.h"
#include "adventure/SeenPlayers.h"
#include "adventure/StateKeys.h"
#include "adventure/StateStore.h"
#include "adventure/UndoLog.h"
#include "adventure/User.h"
#include "adventure/Word.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Fibers.h"
#include "common/Input.h"
#include "common/Log.h"
#include "common/Output.h"
#include "common/PasswordHash.h"
#include "common/Settings.h"
#include "common/Util.h"
#include "common/ref/ObjectRef.h"
#include "exception/CommandStoppedException.h"
#include "exception/Exception.h"
#include "exception/ItemNotFoundException.h"
#include "exception/LoginRefusedException.h"
#include "exception/SerializationException.h"
#include "exception/TypeMismatchException.h"
#include "exception/VerbNotFoundException.h"
#include "exception/WordNotFoundException.h"

namespace zanfir {

namespace {

constexpr const char* ANY = Word::ANY_WORD;

// A player's name becomes a file name, a context name and an item name:
// only letters (accented ones too) and digits are allowed.
bool isPlainName(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) && c < 0x80)
            continue;
        auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c == 0xC3 && next >= 0x80 && next <= 0xBF && next != 0x97 && next != 0xB7) {
            ++i;
            continue;
        }
        return false;
    }
    return !name.empty();
}

void logFailure(const std::string& entity, const std::exception& error) {
    Log::writeG(entity, Log::FAIL, error);
    Debug::traceStackG(error);
}

// A failure that ends the session: logged, and the first one kept.
void endingFailure(const std::string& entity, const std::exception& error, std::string& kept) {
    logFailure(entity, error);
    if (kept.empty())
        kept = Log::describe(error);
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

// ---- Session ----

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
        logged = init();
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
    if (!isIntroSeen()) {
        if (auto intro = messageIntro()) {
            print(*intro);
            println();
        }
        setIntroSeen();
    }
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
            printQuotes();
            printLocation();
            auto here = itemsHere(true); // once for both lists
            printItems(here);
            printUsers(here);
            println();
            println();
            onCommandPromptEnter();
        });
        // Waiting for the player is no turn: the idle moments never keep a
        // working session waiting. The player is answered (the prompt sent)
        // once what the command changed is durable.
        leaveTurn();
        _main.awaitDurable();
        _main.onEnterIdle(*this);
        std::optional<std::string> command;
        try {
            do
                command = readCommand();
            while (command && command->empty());
        } catch (const std::exception& error) {
            endingFailure(entity(), error, _failure);
            command.reset();
        }
        _main.onExitIdle(*this);
        if (!command)
            break;
        takeTurn();
        if (_undo)
            _undo->mark();
        _repeated = false;
        limited([&] {
            onCommandPromptExit();
            println();
            _curr_phrase = parseCommand(*command);
            if (_curr_phrase)
                executeCommand(_curr_phrase);
        });
        if (!_repeated)
            _last_line = std::move(*command);
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

// A client (not the console) meets the gatekeeper's limits: guesses of a
// password are slowed, counted and cut, new players are throttled.
bool Adventure::init() {
    using Clock = std::chrono::steady_clock;
    const Settings& settings = _main.settings();
    _in->limitReads(std::chrono::milliseconds(0), Clock::now() + settings.login_timeout);
    Gatekeeper* gate = _address.empty() ? nullptr : &_main.gatekeeper();
    println();
    for (;;) {
        if (lockedOut())
            return false;
        auto typed = readUserName();
        if (!typed)
            return false;
        std::string name = Util::capitalize(*typed);
        std::string password;
        if (_main.isMultiUser()) {
            auto first = readUserPassword();
            if (!first || lockedOut()) // by guesses on other connections meanwhile
                return false;
            if (!_main.userExist(name)) { // a known player's is checked as they are admitted
                if (gate && !gate->mayCreatePlayer(_address)) {
                    refuse(T::TooManyNewPlayers);
                    continue;
                }
                auto again = readUserPasswordAgain();
                if (!again)
                    return false;
                if (*again != *first) {
                    refuse(T::PasswordNotMatch);
                    continue;
                }
            }
            password = *first;
        } else if (guardsSavedGames()) {
            if (auto stored = savedGamePassword(name);
                stored && !proveGamePassword(name, *stored)) {
                if (!_in->isAlive() || _wrong_passwords >= MAX_WRONG_PASSWORDS)
                    return false;
                continue;
            }
        }
        ObjectRef holder;
        std::shared_ptr<User> player;
        bool wrong = false;
        try {
            player = _main.addAdventure(shared_from_this(), holder, name, password);
        } catch (const LoginRefusedException& refusal) {
            refuse(refusal.what());
            wrong = refusal.wrongPassword();
            if (!wrong)
                continue;
        }
        if (wrong) { // its wait is out of the handler, which would keep the thread
            if (!wrongPassword(name))
                return false;
            continue;
        }
        if (player) {
            setUser(player, holder.as<Context>());
            _in->limitReads(settings.idle_timeout, Clock::time_point::max());
            return true;
        }
    }
}

bool Adventure::wrongPassword(const std::string& name) {
    Log::writeG(entity(), Log::WARN,
                T::LoginFailed + Util::clip(name, Log::CLIENT_TEXT) + T::LoginFailedX +
                    (_address.empty() ? "console" : _address));
    if (!_address.empty())
        _main.gatekeeper().loginFailed(_address);
    if (++_wrong_passwords >= MAX_WRONG_PASSWORDS) {
        println(T::ThreeWrongPasswords);
        _in->endInput();
        return false;
    }
    // A guess costs time: the player waits, holding nothing.
    outsideTurn([this] {
        _out->flush();
        Fibers::sleepFor(WRONG_PASSWORD_WAIT);
        return std::string();
    });
    return true;
}

bool Adventure::lockedOut() {
    if (_address.empty() || !_main.gatekeeper().lockedOut(_address))
        return false;
    refuse(T::TooManyFailures);
    _in->endInput();
    return true;
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
    if (_ctx && !_main.isMultiUser()) {
        _undo = std::make_unique<UndoLog>(_main.settings().undo_levels);
        _undo->follow(_ctx);
    }
}

std::string Adventure::entity() const {
    return "Adventure [" + userName() + "]";
}

// ---- Player position ----

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

void Adventure::setLocation(std::shared_ptr<Location> location) {
    auto current = getLocation();
    if (current && current->equals(location.get()))
        return;
    if (current)
        onLocationExit(*current);
    _user_item->setLocation(*this, *_ctx, *location);
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

// ---- Items ----

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
std::shared_ptr<const Adventure::Items> Adventure::itemsHere(bool shown) {
    auto location = getLocation();
    auto state = _ctx->get(StateKeys::items());
    if (!location || !state || !std::holds_alternative<std::shared_ptr<Context>>(*state))
        return std::make_shared<const Items>();
    const auto& items = *std::get<std::shared_ptr<Context>>(*state);
    if (shown)
        return _main.itemsShown(items, location->name());
    std::vector<std::string> names;
    for (auto& [name, item] : items.nestedWhere(StateKeys::LOCATION, location->name()))
        names.push_back(std::move(name));
    return std::make_shared<const Items>(_main.getItems(names));
}

std::vector<std::shared_ptr<Item>> Adventure::getItemsCarried() {
    std::vector<std::string> names;
    auto inventory = _ctx->get(StateKeys::inventory(userID()));
    if (inventory && std::holds_alternative<std::shared_ptr<Context>>(*inventory))
        for (const auto& [name, value] : std::get<std::shared_ptr<Context>>(*inventory)->entries())
            if (value == Context::Value(true))
                names.push_back(name);
    return _main.getItems(names);
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
    onItemTake(item);
    return true;
}

bool Adventure::dropItem(Item& item) {
    if (auto here = getLocation()) {
        onItemLocationEnter(item, *here);
        onLocationItemEnter(*here, item);
    }
    if (!item.dropDown(*this, *_ctx))
        return false;
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
    onItemHide(item);
}

void Adventure::unhideItem(Item& item) {
    item.setHidden(*this, *_ctx, false);
    onItemUnhide(item);
}

// ---- Events ----

void Adventure::fire(const char* type, const std::string& item, const std::string& location) {
    if (!_main.hasEvents(type))
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
    auto handler = _main.getEvent(key);
    if (!handler)
        return;
    auto [item, location] =
        EventTable::itemAndLocation(std::string_view(key).substr(0, typeLength), {a, b});
    auto event = _ctx->nested(StateKeys::event(userID())); // one walk for both
    event->setString(StateKeys::inEventItem(), item);
    event->setString(StateKeys::inEventLocation(), location);
    executeAction(*handler);
}

bool Adventure::executeAction(Action& action, std::optional<bool> silent) {
    return _views.with(_ctx, userID(), [&](std::shared_ptr<Context> view) {
        return action.start({*this, std::move(view), _curr_phrase, nullptr, silent});
    });
}

// ---- Lookups ----

std::shared_ptr<Location> Adventure::location(const std::string& name) {
    return _main.getLocation(name);
}

std::shared_ptr<Item> Adventure::item(const std::string& name) {
    return _main.getItem(name);
}

std::shared_ptr<Item> Adventure::findItem(const std::string& name) {
    try {
        return item(name);
    } catch (const ItemNotFoundException&) {
        return nullptr;
    }
}

std::shared_ptr<Word> Adventure::verb(const std::string& text) {
    return _main.getVerb(text);
}

std::shared_ptr<Word> Adventure::word(const std::string& text) {
    return _main.getWord(text);
}

std::shared_ptr<Description> Adventure::messageIntro() {
    return _main.getIntro();
}

std::shared_ptr<Description> Adventure::messageDead() {
    return _main.getDead();
}

std::shared_ptr<Description> Adventure::message(const std::string& name) {
    return _main.getMessage(name);
}

// ---- Saved game ----

// Behind RemotePasswords a remote player's saved game is kept under a
// password, chosen at the first save and asked at every later login; a
// session that did not give it (the game was protected after it logged in)
// is asked before it saves or loads.
bool Adventure::serialize() {
    if (_main.isMultiUser())
        return true;
    if (guardsSavedGames()) {
        if (!mayUseSavedGame(savedGamePassword(userName())))
            return false;
        if (_game_password.empty()) { // the name's first game under a password
            println(T::ChooseGamePassword);
            std::optional<std::string> first, again;
            do {
                if (first)
                    refuse(T::PasswordNotMatch);
                first = readUserPassword();
                again = first ? readUserPasswordAgain() : std::nullopt;
                if (!again)
                    return false;
            } while (*again != *first);
            try {
                _game_password = outsideTurn([&] { return PasswordHash::hash(*first); });
            } catch (const Exception& error) {
                throw SerializationException(error.what());
            }
        }
        _ctx->setString(StateKeys::userPassword(userID()), _game_password);
    }
    _main.store().saveGame(userName(), *_ctx);
    return true;
}

bool Adventure::deserialize() {
    if (_main.isMultiUser())
        return true;
    auto saved = _main.store().loadGame(userName());
    if (!saved || (guardsSavedGames() && !mayUseSavedGame(passwordIn(*saved, userName()))))
        return false;
    // The game may have been saved under another player number: the
    // player's state takes this session's number.
    auto users = std::get<std::shared_ptr<Context>>(*saved->get(StateKeys::USERS));
    std::string saver = users->namesWhere(StateKeys::NAME, Context::Value(userName())).front();
    if (std::string mine = std::to_string(userID()); saver != mine)
        users->rename(saver, mine);
    Scenes::indexItems(*saved);
    _ctx = saved;
    if (_undo)
        _undo->follow(_ctx); // what came before the load is not taken back
    return true;
}

bool Adventure::guardsSavedGames() const {
    return !_main.isMultiUser() && !_address.empty() && _main.settings().remote_passwords;
}

std::optional<std::string> Adventure::passwordIn(Context& game, const std::string& name) {
    auto users = std::get<std::shared_ptr<Context>>(*game.get(StateKeys::USERS));
    std::string saver = users->namesWhere(StateKeys::NAME, Context::Value(name)).front();
    auto stored = users->get(saver + "." + StateKeys::PASSWORD);
    if (stored && std::holds_alternative<std::string>(*stored))
        return std::get<std::string>(*stored);
    return std::nullopt;
}

std::optional<std::string> Adventure::savedGamePassword(const std::string& name) {
    try {
        if (auto game = _main.store().loadGame(name))
            return passwordIn(*game, name);
    } catch (const SerializationException& error) { // no game that can be loaded
        Log::writeG(entity(), Log::WARN, error);
    }
    return std::nullopt;
}

bool Adventure::mayUseSavedGame(const std::optional<std::string>& stored) {
    return !stored || *stored == _game_password || proveGamePassword(userName(), *stored);
}

bool Adventure::proveGamePassword(const std::string& name, const std::string& stored) {
    auto typed = readUserPassword();
    if (!typed || lockedOut())
        return false;
    if (!outsideTurn([&] { return PasswordHash::verify(stored, *typed); })) {
        refuse(T::WrongPassword);
        wrongPassword(name);
        return false;
    }
    _game_password = stored;
    return true;
}

bool Adventure::isIntroSeen() {
    return _ctx->getBoolean(StateKeys::intro(userID()));
}

void Adventure::setIntroSeen() {
    _ctx->setBoolean(StateKeys::intro(userID()), true);
}

// ---- Scene ----

void Adventure::printQuotes() {
    while (auto quote = _user_item->getQuote()) {
        print(quote->user()->descr());
        println(T::Says + quote->text() + T::SaysX);
        println();
    }
}

void Adventure::printLocation() {
    auto here = getLocation();
    if (!here)
        return;
    if (isLocationSeen(*here)) {
        println(T::YouAre, here->descr(), T::YouAreX);
        return;
    }
    setLocationSeen(*here);
    if (here->hasLongDescription())
        println("", *here->descrLong(), "");
    else
        println(T::YouAre, here->descr(), T::YouAreX);
}

void Adventure::printItems() {
    printItems(itemsHere(true));
}

void Adventure::printUsers() {
    printUsers(itemsHere(true));
}

void Adventure::printItems(const std::shared_ptr<const Items>& here) {
    // One walk to the player's seen items serves the whole list; a first
    // sight fires events, which may change anything: the walk is made again.
    auto seenItems = [this] { return _ctx->nested(StateKeys::seenItems(userID())); };
    std::shared_ptr<Context> seen;
    for (const auto& item : *here) {
        if (!item->visible() || isItemUser(*item))
            continue;
        if (!seen)
            seen = seenItems();
        if (seen->getBoolean(item->name())) {
            println(T::ISee, item->descr(), T::ISeeX);
            continue;
        }
        setItemSeen(*item);
        seen.reset();
        if (item->hasFirstDescription())
            println(*item->descrFirst());
        else
            println(T::ISee, item->descr(), T::ISeeX);
    }
}

void Adventure::printUsers(const std::shared_ptr<const Items>& here) {
    const bool anySeen = _main.getEvent("ITEM-SEEN:*") != nullptr;
    const bool someSeen = _main.hasEvents("ITEM-SEEN"); // else no player's is looked up
    if (!anySeen && !someSeen && printPlayerLines(here))
        return;
    std::vector<std::int32_t> seen; // players no event waits for: marked at once
    for (const auto& item : *here) {
        if (!item->visible() || !isItemUser(*item) || isItemMyself(*item))
            continue;
        auto player = dynamic_cast<User*>(item.get());
        if (player && !anySeen && (!someSeen || !_main.getEvent("ITEM-SEEN:" + item->name())))
            seen.push_back(player->id());
        else if (!isItemSeen(*item))
            setItemSeen(*item);
        println(T::HereThereIs, item->descr(), T::HereThereIsX);
    }
    SeenPlayers::add(*_ctx, userID(), seen);
}

// Every player in a crowded place lists the same players after each
// command: their lines are laid out once for all who see them alike, and
// each viewer is sent them but his own. Not when a player's description is
// an action (it may read the viewer's state).
bool Adventure::printPlayerLines(const std::shared_ptr<const Items>& here) {
    auto location = getLocation();
    auto other = [this](const std::shared_ptr<Item>& item) {
        auto player = dynamic_cast<const User*>(item.get());
        return player && player->id() != userID();
    };
    if (!location || _out->column() != 0 || std::none_of(here->begin(), here->end(), other))
        return false; // alone (a world of one's own): nothing worth keeping
    auto lines =
        _main.playerLines(location->name(), here, _out->layout(), [this](const Item& player) {
            Description& description = player.descr();
            return description.isPlain() && !description.isSilent()
                       ? std::optional(
                             _out->line(T::HereThereIs + description.text() + T::HereThereIsX))
                       : std::nullopt;
        });
    if (!lines)
        return false;
    std::vector<std::int32_t> seen;
    seen.reserve(lines->ids.size());
    std::size_t mine = lines->ids.size();
    for (std::size_t i = 0; i < lines->ids.size(); ++i) {
        if (lines->ids[i] == userID())
            mine = i;
        else
            seen.push_back(lines->ids[i]);
    }
    const std::string& text = lines->text;
    if (mine == lines->ids.size()) {
        _out->write(text);
    } else { // one copy: a crowded place's lines are long
        std::size_t begin = mine == 0 ? 0 : lines->ends[mine - 1], end = lines->ends[mine];
        std::string others;
        others.reserve(text.size() - (end - begin));
        others.append(text, 0, begin).append(text, end);
        _out->write(others);
    }
    SeenPlayers::add(*_ctx, userID(), seen);
    return true;
}

// ---- Input and output ----

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
    _main.beginTurn();
    _in_turn = true;
    _actions.steps_budget = _actions.steps_left = _main.settings().command_steps;
    _out->beginCommand();
}

void Adventure::leaveTurn() {
    if (_in_turn)
        _main.endTurn();
    _in_turn = false;
    _actions.steps_budget = _actions.steps_left = -1;
    _out->endCommand();
}

template <class Read>
auto Adventure::outsideTurn(Read read) -> decltype(read()) {
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

std::string Adventure::readln() {
    return outsideTurn([this] { return _in->readln(); });
}

std::string Adventure::readln(const std::string& prompt) {
    print(prompt);
    return readln();
}

std::string Adventure::readlnH(const std::string& prompt) {
    print(prompt);
    return outsideTurn([this] { return _in->readln(true); });
}

void Adventure::sleep(std::int32_t milliseconds) {
    outsideTurn([&] {
        _out->flush();
        Fibers::sleepFor(std::chrono::milliseconds(milliseconds));
        return std::string();
    });
}

std::optional<std::string> Adventure::readUserName() {
    for (;;) {
        std::string line = readln(T::WhatsYourName);
        if (!_in->isAlive())
            return std::nullopt;
        auto words = Util::split(line);
        if (words.empty())
            continue;
        if (words.size() > 1) {
            refuse(T::UseSingleWordName);
            continue;
        }
        // Longer names kept by an older version still log in.
        if (Util::length(words[0]) > MAX_NAME && !_main.userExist(Util::capitalize(words[0]))) {
            refuse(T::NameTooLong);
            continue;
        }
        std::string upper = Util::toUpper(words[0]);
        bool known = _main.blankIfIgnorable(upper).empty();
        try {
            _main.resolveSynonym(upper, Word::ITEM_WORD);
            known = true;
        } catch (const WordNotFoundException&) {
        } catch (const VerbNotFoundException&) {
            Debug::assertG(false, "false");
            known = true;
        }
        // A player's name is a word while they play: they may come in again.
        if (known && _main.isMultiUser() && _main.userExist(Util::capitalize(words[0]))) {
            try {
                known = !_main.getUser(upper);
            } catch (const Exception&) { // no player's item: a word of the adventure
            }
        }
        if (!known && isPlainName(words[0]))
            return words[0];
        refuse(T::AmbiguousName);
    }
}

std::optional<std::string> Adventure::readUserPassword() {
    for (;;) {
        std::string line = readlnH(T::WhatsYourPassword);
        if (!_in->isAlive())
            return std::nullopt;
        std::string password = Util::trim(line);
        if (Util::length(password) >= 4)
            return password;
        refuse(T::PasswordTooShort);
    }
}

std::optional<std::string> Adventure::readUserPasswordAgain() {
    std::string line = readlnH(T::RedigitYourPassword);
    if (!_in->isAlive())
        return std::nullopt;
    return Util::trim(line);
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

// ---- Commands ----

std::optional<std::string> Adventure::readCommand() {
    std::string line = readln(T::Prompt);
    if (!_in->isAlive())
        return std::nullopt;
    return Util::trim(line);
}

std::vector<std::shared_ptr<Word>> Adventure::resolveWords(const std::string& text) {
    std::vector<std::shared_ptr<Word>> words;
    auto tokens = Util::split(text);
    if (tokens.empty())
        return words;
    if (!_main.isVerbWord(tokens[0]))
        throw VerbNotFoundException(tokens[0]);
    words.push_back(verb(*_main.resolveSynonym(tokens[0], Word::VERB_WORD)));
    for (std::size_t p = 1; p < tokens.size();) {
        std::size_t taken = 0;
        for (std::size_t n = std::min<std::size_t>(3, tokens.size() - p); n > 0 && !taken; --n) {
            std::string candidate = tokens[p];
            for (std::size_t i = 1; i < n; ++i)
                candidate += " " + tokens[p + i];
            if (int kind = _main.getWordKind(candidate)) {
                words.push_back(word(*_main.resolveSynonym(candidate, kind)));
                taken = n;
            }
        }
        if (!taken)
            throw WordNotFoundException(tokens[p]);
        p += taken;
    }
    return words;
}

std::shared_ptr<const Phrase> Adventure::parseCommand(const std::string& line) {
    std::string text = Util::toUpper(Util::trim(line));
    for (const char* mark : {"'", "!", "*"})
        text = Util::replace(text, mark, " ").value_or(text);
    if (text.find('?') != std::string::npos) {
        println(T::DontAskQuestions);
        return nullptr;
    }
    if (Log::writesG(Log::INFO))
        Log::writeG(entity(), Log::INFO,
                    T::Command + Util::clip(text, Log::CLIENT_TEXT) + T::QuoteEnd);
    std::string kept;
    for (const auto& token : Util::split(text))
        kept += _main.blankIfIgnorable(token) + " ";
    std::vector<std::shared_ptr<Word>> words;
    try {
        words = resolveWords(kept);
    } catch (const WordNotFoundException& unknown) {
        println(T::WordNotFound + unknown.getWord() + T::WordNotFoundX);
        Log::writeG(entity(), Log::WARN,
                    T::UnknownWord + Util::clip(unknown.getWord(), Log::CLIENT_TEXT) + T::QuoteEnd);
        return nullptr;
    } catch (const VerbNotFoundException& unknown) {
        println(T::VerbNotFound + unknown.getVerb() + T::VerbNotFoundX);
        Log::writeG(entity(), Log::WARN,
                    T::UnknownVerb + Util::clip(unknown.getVerb(), Log::CLIENT_TEXT) + T::QuoteEnd);
        return nullptr;
    }
    if (words.empty()) {
        println(T::EmptyPhrase);
        return nullptr;
    }
    auto phrase = std::make_shared<const Phrase>(words);
    storePhrase(*phrase);
    if (Log::writesG(Log::INFO))
        Log::writeG(entity(), Log::INFO, T::Phrase + phrase->toString() + T::QuoteEnd);
    return phrase;
}

// The player's PHRASE holds the verb and the items of this phrase and
// nothing else. Only what differs from the last one is written: a command
// like the one before changes nothing (no journal record, no undo step).
void Adventure::storePhrase(const Phrase& phrase) {
    auto write = [&phrase](Context& stored) {
        const int items = phrase.items();
        stored.setString(StateKeys::VERB, phrase.verb());
        if (items > 0) {
            auto listed = stored.nested(StateKeys::PHRASE_ITEMS);
            std::vector<std::string> numbers;
            for (int n = 1; n <= items; ++n) {
                numbers.push_back(std::to_string(n));
                listed->setString(numbers.back(), phrase.itemAt(n - 1));
            }
            if (listed->count() > items) // a longer phrase's
                for (const auto& name : listed->names())
                    if (std::find(numbers.begin(), numbers.end(), name) == numbers.end())
                        listed->remove(name);
        }
        if (stored.count() > (items > 0 ? 2 : 1))
            for (const auto& name : stored.names())
                if (name != StateKeys::VERB && (name != StateKeys::PHRASE_ITEMS || items == 0))
                    stored.remove(name);
    };
    const std::string path = StateKeys::phrase(userID());
    try {
        write(*_ctx->nested(path));
    } catch (const TypeMismatchException&) { // a value where a context belongs
        _ctx->remove(path);
        write(*_ctx->nested(path));
    }
}

std::shared_ptr<Action> Adventure::resolveCommand(Location& location, const Phrase& phrase) {
    return resolveCommand(location.name(), phrase);
}

std::shared_ptr<Action> Adventure::resolveCommand(const std::string& entity, const Phrase& phrase,
                                                  int startMask) {
    const int items = phrase.items();
    const long last = items > 30 ? startMask : (1L << items) - 1;
    for (const std::string& set : {entity, std::string(ANY)}) {
        // Only sets that bind this verb with this many words can match.
        if (_main.hasBindings(set, phrase.verb(), phrase.size() - 1)) {
            long mask = startMask;
            do {
                std::string key = phrase.verb();
                for (int i = 1, k = 0; i < phrase.size(); ++i) {
                    bool wild = phrase.kindAt(i) == Word::ITEM_WORD && (mask >> (items - ++k)) & 1;
                    key += ":" + (wild ? std::string(ANY) : phrase.wordAt(i));
                }
                if (auto action = _main.getAction(set, key)) {
                    if (Log::writesG(Log::INFO))
                        Log::writeG(this->entity(), Log::INFO,
                                    T::ResolvedAction + set + ":" + key + T::QuoteEnd);
                    return action;
                }
            } while (++mask <= last);
        }
        if (set == ANY)
            break;
    }
    Log::writeG(this->entity(), Log::WARN, T::UnresolvedAction);
    return nullptr;
}

std::shared_ptr<Action> Adventure::resolveHere(const Phrase& phrase) {
    auto here = getLocation();
    return here ? resolveCommand(*here, phrase) : resolveCommand(ANY, phrase);
}

bool Adventure::executeCommand(std::shared_ptr<const Phrase> phrase) {
    _curr_phrase = phrase;
    if (auto action = resolveHere(*phrase)) {
        executeAction(*action);
        onCommandDo(*phrase);
        return true;
    }
    println(T::CantUnderstand);
    onCommandUnknown(*phrase);
    return false;
}

bool Adventure::undo() {
    if (!_undo) {
        println(_main.isMultiUser() ? T::NoUndoShared : T::NothingToUndo);
        return false;
    }
    if (!_undo->undo()) {
        println(T::NothingToUndo);
        return false;
    }
    println(T::Undone);
    return true;
}

// The line runs as this command's own action: the command's events fire
// once, after it, and the line stays the one to repeat.
bool Adventure::again() {
    if (_last_line.empty() || _repeated) {
        println(T::NothingToRepeat);
        return false;
    }
    _repeated = true;
    auto phrase = parseCommand(_last_line);
    if (!phrase)
        return false;
    auto action = resolveHere(*phrase);
    if (!action) {
        println(T::CantUnderstand);
        return false;
    }
    _curr_phrase = phrase;
    executeAction(*action);
    return true;
}

} // namespace zanfir
