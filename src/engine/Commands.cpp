#include "engine/Commands.h"

#include <algorithm>

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/Scene.h"
#include "engine/UndoLog.h"
#include "language/Action.h"
#include "language/Description.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Input.h"
#include "runtime/Log.h"
#include "state/Context.h"
#include "util/Util.h"
#include "world/Location.h"
#include "world/Phrase.h"
#include "world/StateKeys.h"
#include "world/Word.h"
#include "world/World.h"

namespace zanfir {

namespace {

constexpr const char* ANY = Word::ANY_WORD;

} // namespace

Commands::Commands(Adventure& session) : _session(session) {}

Commands::~Commands() = default;

void Commands::follow(std::shared_ptr<Context> state) {
    if (_session.main().isMultiUser())
        return;
    if (!_undo)
        _undo = std::make_unique<UndoLog>(_session.main().settings().undo_levels);
    _undo->follow(std::move(state));
}

std::optional<std::string> Commands::readCommand() {
    struct Awaiting {
        Scene& scene;
        explicit Awaiting(Scene& shown) : scene(shown) { scene.awaitCommand(true); }
        ~Awaiting() { scene.awaitCommand(false); }
    };
    std::string line;
    {
        Awaiting awaiting(_session.scene());
        line = _session.readln(T::Prompt);
    }
    if (!_session.in().isAlive())
        return std::nullopt;
    return Util::trim(line);
}

std::vector<std::shared_ptr<Word>> Commands::resolveWords(const std::string& text) {
    std::vector<std::shared_ptr<Word>> words;
    auto tokens = Util::split(text);
    if (tokens.empty())
        return words;
    const World& world = _session.main().world();
    if (!world.isVerbWord(tokens[0]))
        throw VerbNotFoundException(tokens[0]);
    words.push_back(_session.verb(*world.resolveSynonym(tokens[0], Word::VERB_WORD)));
    for (std::size_t p = 1; p < tokens.size();) {
        std::size_t taken = 0;
        for (std::size_t n = std::min<std::size_t>(3, tokens.size() - p); n > 0 && !taken; --n) {
            std::string candidate = tokens[p];
            for (std::size_t i = 1; i < n; ++i)
                candidate += " " + tokens[p + i];
            if (int kind = world.getWordKind(candidate)) {
                words.push_back(_session.word(*world.resolveSynonym(candidate, kind)));
                taken = n;
            }
        }
        if (!taken)
            throw WordNotFoundException(tokens[p]);
        p += taken;
    }
    return words;
}

std::shared_ptr<const Phrase> Commands::parseCommand(const std::string& line) {
    std::string text = Util::toUpper(Util::trim(line));
    for (const char* mark : {"'", "!", "*"})
        text = Util::replace(text, mark, " ").value_or(text);
    if (text.find('?') != std::string::npos) {
        _session.println(T::DontAskQuestions);
        return nullptr;
    }
    if (Log::writesG(Log::INFO))
        Log::writeG(_session.entity(), Log::INFO,
                    T::Command + Util::clip(text, Log::CLIENT_TEXT) + T::QuoteEnd);
    // A word both ignorable and a verb (I for COSA) is the verb when it
    // begins the command, and ignored anywhere else.
    const World& world = _session.main().world();
    std::string kept;
    for (const auto& token : Util::split(text))
        kept +=
            (kept.empty() && world.isVerbWord(token) ? token : world.blankIfIgnorable(token)) + " ";
    std::vector<std::shared_ptr<Word>> words;
    try {
        words = resolveWords(kept);
    } catch (const WordNotFoundException& unknown) {
        _session.println(T::WordNotFound + unknown.getWord() + T::WordNotFoundX);
        Log::writeG(_session.entity(), Log::WARN,
                    T::UnknownWord + Util::clip(unknown.getWord(), Log::CLIENT_TEXT) + T::QuoteEnd);
        return nullptr;
    } catch (const VerbNotFoundException& unknown) {
        _session.println(T::VerbNotFound + unknown.getVerb() + T::VerbNotFoundX);
        Log::writeG(_session.entity(), Log::WARN,
                    T::UnknownVerb + Util::clip(unknown.getVerb(), Log::CLIENT_TEXT) + T::QuoteEnd);
        return nullptr;
    }
    if (words.empty()) {
        _session.println(T::EmptyPhrase);
        return nullptr;
    }
    auto phrase = std::make_shared<const Phrase>(words);
    if (Debug::isOnG())
        Debug::stepG(T::TracePhrase + phrase->toString());
    storePhrase(*phrase);
    if (Log::writesG(Log::INFO))
        Log::writeG(_session.entity(), Log::INFO, T::Phrase + phrase->toString() + T::QuoteEnd);
    return phrase;
}

// The player's PHRASE holds the verb and the items of this phrase and
// nothing else. Only what differs from the last one is written: a command
// like the one before changes nothing (no journal record, no undo step).
void Commands::storePhrase(const Phrase& phrase) {
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
    const std::string path = StateKeys::phrase(_session.userID());
    try {
        write(*_session.context()->nested(path));
    } catch (const TypeMismatchException&) { // a value where a context belongs
        _session.context()->remove(path);
        write(*_session.context()->nested(path));
    }
}

std::shared_ptr<Action> Commands::resolveCommand(Location& location, const Phrase& phrase) {
    return resolveCommand(location.name(), phrase);
}

std::shared_ptr<Action> Commands::resolveCommand(const std::string& entity, const Phrase& phrase,
                                                 int startMask) {
    const World& world = _session.main().world();
    const int items = phrase.items();
    const long last = items > 30 ? startMask : (1L << items) - 1;
    for (const std::string& set : {entity, std::string(ANY)}) {
        // Only sets that bind this verb with this many words can match.
        if (world.hasBindings(set, phrase.verb(), phrase.size() - 1)) {
            long mask = startMask;
            do {
                std::string key = phrase.verb();
                for (int i = 1, k = 0; i < phrase.size(); ++i) {
                    bool wild = phrase.kindAt(i) == Word::ITEM_WORD && (mask >> (items - ++k)) & 1;
                    key += ":" + (wild ? std::string(ANY) : phrase.wordAt(i));
                }
                if (auto action = world.getAction(set, key)) {
                    if (Debug::isOnG())
                        Debug::stepG(T::TraceBinding + set + ":" + key +
                                     Description::traced(*action));
                    if (Log::writesG(Log::INFO))
                        Log::writeG(_session.entity(), Log::INFO,
                                    T::ResolvedAction + set + ":" + key + T::QuoteEnd);
                    return action;
                }
            } while (++mask <= last);
        }
        if (set == ANY)
            break;
    }
    Log::writeG(_session.entity(), Log::WARN, T::UnresolvedAction);
    return nullptr;
}

std::shared_ptr<Action> Commands::resolveHere(const Phrase& phrase) {
    auto here = _session.getLocation();
    return here ? resolveCommand(*here, phrase) : resolveCommand(ANY, phrase);
}

bool Commands::executeCommand(std::shared_ptr<const Phrase> phrase) {
    _phrase = phrase;
    if (auto action = resolveHere(*phrase)) {
        _session.executeAction(*action);
        _session.onCommandDo(*phrase);
        return true;
    }
    _session.println(T::CantUnderstand);
    _session.onCommandUnknown(*phrase);
    return false;
}

void Commands::mark() {
    if (_undo)
        _undo->mark();
    _repeated = false;
}

void Commands::run(const std::string& line) {
    _phrase = parseCommand(line);
    if (_phrase)
        executeCommand(_phrase);
}

void Commands::remember(std::string line) {
    if (!_repeated)
        _last_line = std::move(line);
}

bool Commands::canTakeBackRunning() const {
    return _undo && _undo->holdsRunning();
}

bool Commands::undo() {
    if (!_undo) {
        _session.println(_session.main().isMultiUser() ? T::NoUndoShared : T::NothingToUndo);
        return false;
    }
    if (!_undo->undo()) {
        _session.println(T::NothingToUndo);
        return false;
    }
    _session.println(T::Undone);
    return true;
}

// The line runs as this command's own action: the command's events fire
// once, after it, and the line stays the one to repeat.
bool Commands::again() {
    if (_last_line.empty() || _repeated) {
        _session.println(T::NothingToRepeat);
        return false;
    }
    _repeated = true;
    auto phrase = parseCommand(_last_line);
    if (!phrase)
        return false;
    auto action = resolveHere(*phrase);
    if (!action) {
        _session.println(T::CantUnderstand);
        return false;
    }
    _phrase = phrase;
    _session.executeAction(*action);
    return true;
}

} // namespace zanfir
