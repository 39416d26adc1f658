#include "state/Context.h"

#include <map>
#include <mutex>

#include "T.h"
#include "runtime/Errors.h"
#include "state/ContextJournal.h"
#include "util/Util.h"

namespace zanfir {

// Which nested contexts hold each text under the leaf, and whether each
// one's flag is true; and the version of each text: a stamp from one clock
// for every index, taken at its last change, so that a stamp is never seen
// again for another state.
struct Context::Index {
    Index(std::string leaf, std::string flag) : leaf(std::move(leaf)), flag(std::move(flag)) {}

    struct Holders {
        std::map<std::string, bool> names; // flagged or not
        std::uint64_t version = 0;
    };

    // The value `name` now holds under the leaf, or none, and its flag.
    void put(const std::string& name, const Value* value, bool flagged) {
        const std::string* text = value ? std::get_if<std::string>(value) : nullptr;
        std::lock_guard guard(lock);
        auto found = of.find(name);
        if (found != of.end()) {
            auto holders = named.find(found->second);
            if (text && *text == found->second) {
                holders->second.names[name] = flagged;
                holders->second.version = stamp();
                return;
            }
            holders->second.names.erase(name);
            if (holders->second.names.empty())
                named.erase(holders); // a text nobody holds has version 0
            else
                holders->second.version = stamp();
            of.erase(found);
        }
        if (text) {
            of.emplace(name, *text);
            auto& holders = named[*text];
            holders.names[name] = flagged;
            holders.version = stamp();
        }
    }

    // The context listed as `name` changed an entry other than the leaf.
    void touch(const std::string& name) {
        std::lock_guard guard(lock);
        if (auto found = of.find(name); found != of.end())
            named[found->second].version = stamp();
    }

    // The names holding the text, all or the unflagged ones, and its version.
    std::vector<std::string> holding(const std::string& text, bool unflagged,
                                     std::uint64_t& version) {
        std::vector<std::string> names;
        std::lock_guard guard(lock);
        auto found = named.find(text);
        version = found == named.end() ? 0 : found->second.version;
        if (found != named.end())
            for (const auto& [name, flagged] : found->second.names)
                if (!unflagged || !flagged)
                    names.push_back(name);
        return names;
    }

    std::uint64_t versionOf(const std::string& text) {
        std::lock_guard guard(lock);
        auto found = named.find(text);
        return found == named.end() ? 0 : found->second.version;
    }

    static std::uint64_t stamp() {
        static std::atomic<std::uint64_t> clock{0};
        return ++clock;
    }

    const std::string leaf;
    const std::string flag; // empty: none
    std::mutex lock;
    std::unordered_map<std::string, std::string> of; // the text each name holds
    std::unordered_map<std::string, Holders> named;
};

// A path is walked one context at a time: each step holds only the lock of
// the context it reads, and keeps the next context alive by its pointer.
// Names are upper-cased where they are looked up (see entry).
template <class Op>
auto Context::walk(const std::string& path, bool write, Op&& op) {
    std::string_view rest = path;
    std::shared_ptr<Context> hold;
    Context* here = descend(rest, hold);
    if (write) {
        std::unique_lock guard(here->_lock);
        return op(*here, rest);
    }
    std::shared_lock guard(here->_lock);
    return op(*here, rest);
}

Context* Context::descend(std::string_view& rest, std::shared_ptr<Context>& hold) {
    Context* here = this;
    for (auto dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.')) {
        hold = here->child(rest.substr(0, dot), rest);
        here = hold.get();
        rest.remove_prefix(dot + 1);
    }
    return here;
}

// Every name is stored upper-cased: a name found as it is needs no
// upper-casing, and most names come upper-cased already.
Context::Data::iterator Context::entry(std::string_view name) {
    auto found = _data_hash.find(name);
    if (found == _data_hash.end() && !Util::isUpper(name))
        found = _data_hash.find(Util::toUpper(name));
    return found;
}

std::shared_ptr<Context> Context::nested(const std::string& path) {
    std::string_view rest = path;
    std::shared_ptr<Context> hold;
    return descend(rest, hold)->child(rest, rest);
}

std::shared_ptr<Context> Context::child(std::string_view name, std::string_view rest) {
    auto childOf = [&](const Value& value) {
        auto nested = std::get_if<std::shared_ptr<Context>>(&value);
        if (!nested)
            throw TypeMismatchException(Util::toUpper(rest));
        return *nested;
    };
    {
        std::shared_lock guard(_lock);
        if (auto found = entry(name); found != _data_hash.end())
            return childOf(found->second);
    }
    std::unique_lock guard(_lock); // reading creates, as writing does
    auto found = entry(name);
    if (found == _data_hash.end()) {
        found = _data_hash.emplace(Util::toUpper(name), std::make_shared<Context>()).first;
        changed(found->first, &found->second, nullptr);
    }
    return childOf(found->second);
}

void Context::set(const std::string& path, Value value) {
    walk(path, true, [&](Context& here, std::string_view name) {
        auto found = here.entry(name);
        if (found == here._data_hash.end()) {
            found = here._data_hash.emplace(Util::toUpper(name), std::move(value)).first;
            here.changed(found->first, &found->second, nullptr);
        } else if (found->second != value) { // the same again is no change
            Value before = std::exchange(found->second, std::move(value));
            here.changed(found->first, &found->second, &before);
        }
    });
}

std::optional<Context::Value> Context::get(const std::string& path) {
    std::shared_ptr<const Absent> absent;
    std::string name;
    auto value =
        walk(path, false, [&](Context& here, std::string_view leaf) -> std::optional<Value> {
            auto found = here.entry(leaf);
            if (found != here._data_hash.end())
                return found->second;
            if (here._absent) {
                absent = here._absent;
                name = Util::toUpper(leaf);
            }
            return std::nullopt;
        });
    if (!value && absent)
        return (*absent)(name);
    return value;
}

bool Context::exist(const std::string& path) {
    return get(path).has_value();
}

void Context::remove(const std::string& path) {
    walk(path, true, [](Context& here, std::string_view name) {
        auto found = here.entry(name);
        if (found == here._data_hash.end())
            return;
        std::string key = found->first;
        Value before = std::move(found->second);
        here._data_hash.erase(found);
        here.changed(key, nullptr, &before);
    });
}

void Context::rename(const std::string& from, const std::string& to) {
    auto value = get(from);
    if (!value)
        throw Exception(T::ContextNameNotFound + from + T::QuoteEnd);
    set(to, std::move(*value));
    remove(from);
}

void Context::setString(const std::string& path, const std::string& value) {
    set(path, value);
}

void Context::setInt(const std::string& path, std::int32_t value) {
    set(path, value);
}

void Context::setBoolean(const std::string& path, bool value) {
    set(path, value);
}

template <class Kind>
Kind Context::getTyped(const std::string& path, Kind absent) {
    auto value = get(path);
    if (!value)
        return absent;
    if (auto typed = std::get_if<Kind>(&*value))
        return std::move(*typed);
    throw TypeMismatchException(path);
}

std::string Context::getString(const std::string& path) {
    return getTyped<std::string>(path, "");
}

std::int32_t Context::getInt(const std::string& path) {
    return getTyped<std::int32_t>(path, 0);
}

bool Context::getBoolean(const std::string& path) {
    return getTyped<bool>(path, false);
}

std::int32_t Context::count() const {
    std::shared_lock guard(_lock);
    return static_cast<std::int32_t>(_data_hash.size());
}

std::uint64_t Context::changes() const {
    return _changes.load(std::memory_order_acquire);
}

std::uint64_t Context::nameChanges() const {
    return _name_changes.load(std::memory_order_acquire);
}

std::vector<std::string> Context::names() const {
    std::shared_lock guard(_lock);
    std::vector<std::string> out;
    out.reserve(_data_hash.size());
    for (const auto& entry : _data_hash)
        out.push_back(entry.first);
    return out;
}

std::vector<std::pair<std::string, Context::Value>> Context::entries() const {
    std::shared_lock guard(_lock);
    return {_data_hash.begin(), _data_hash.end()};
}

void Context::copyFrom(const Context& other) {
    if (&other == this)
        return;
    auto copied = other.entries(); // no two contexts are ever locked at once
    std::unique_lock guard(_lock);
    for (auto& [name, value] : decltype(_data_hash)(std::move(_data_hash)))
        changed(name, nullptr, &value);
    _data_hash.clear();
    for (auto& [name, value] : copied) {
        auto& slot = _data_hash[name] = std::move(value);
        changed(name, &slot, nullptr);
    }
}

void Context::appendFrom(const Context& other) {
    if (&other == this)
        return;
    auto copied = other.entries();
    std::unique_lock guard(_lock);
    for (auto& [name, value] : copied) {
        std::optional<Value> before;
        if (auto found = _data_hash.find(name); found != _data_hash.end())
            before = std::move(found->second);
        auto& slot = _data_hash[name] = std::move(value);
        changed(name, &slot, before ? &*before : nullptr);
    }
}

std::vector<std::string> Context::namesWhere(const std::string& leaf, const Value& value) const {
    std::vector<std::string> names;
    for (auto& [name, nested] : nestedWhere(leaf, value))
        names.push_back(std::move(name));
    return names;
}

std::vector<std::pair<std::string, std::shared_ptr<Context>>>
Context::nestedWhere(const std::string& leaf, const Value& value) const {
    std::string key = Util::toUpper(leaf);
    std::vector<std::pair<std::string, std::shared_ptr<Context>>> found;
    std::shared_lock guard(_lock);
    if (_index && _index->leaf == key)
        if (auto text = std::get_if<std::string>(&value)) {
            std::uint64_t version;
            for (auto& name : _index->holding(*text, false, version))
                if (auto entry = _data_hash.find(name); entry != _data_hash.end())
                    if (auto nested = std::get_if<std::shared_ptr<Context>>(&entry->second))
                        found.emplace_back(std::move(name), *nested);
            return found;
        }
    for (const auto& [name, entry] : _data_hash) {
        auto nested = std::get_if<std::shared_ptr<Context>>(&entry);
        if (!nested)
            continue;
        // A reader may hold its child's lock too: writers hold only one.
        std::shared_lock inner((*nested)->_lock);
        auto match = (*nested)->_data_hash.find(key);
        if (match != (*nested)->_data_hash.end() && match->second == value)
            found.emplace_back(name, *nested);
    }
    return found;
}

std::optional<std::vector<std::string>>
Context::unflaggedWhere(const std::string& leaf, const Value& value, std::uint64_t& version) const {
    auto text = std::get_if<std::string>(&value);
    std::shared_lock guard(_lock);
    if (!text || !_index || _index->flag.empty() || _index->leaf != Util::toUpper(leaf))
        return std::nullopt;
    return _index->holding(*text, true, version);
}

std::shared_ptr<Context> Context::clone() const {
    auto copy = std::make_shared<Context>();
    {
        std::shared_lock guard(_lock);
        copy->_data_hash = decltype(_data_hash)(_data_hash); // copied whole: the order stays
    }
    for (auto& [name, value] : copy->_data_hash)
        if (auto nested = std::get_if<std::shared_ptr<Context>>(&value))
            *nested = (*nested)->clone();
    return copy;
}

void Context::indexBy(const std::string& leaf, const std::string& flag) {
    std::unique_lock guard(_lock);
    _index = std::make_shared<Index>(Util::toUpper(leaf), Util::toUpper(flag));
    for (const auto& [name, value] : _data_hash)
        relist(name, &value, nullptr);
}

void Context::listIn(Index& index, const std::string& name) const {
    auto leaf = _data_hash.find(index.leaf);
    auto flag = _data_hash.find(index.flag);
    index.put(name, leaf == _data_hash.end() ? nullptr : &leaf->second,
              flag != _data_hash.end() && flag->second == Value(true));
}

std::optional<std::uint64_t> Context::versionWhere(const std::string& leaf,
                                                   const Value& value) const {
    auto text = std::get_if<std::string>(&value);
    std::shared_lock guard(_lock);
    if (!text || !_index || _index->leaf != Util::toUpper(leaf))
        return std::nullopt;
    return _index->versionOf(*text);
}

void Context::relist(const std::string& name, const Value* now, const Value* before) {
    auto nested = [](const Value* value) {
        auto context = value ? std::get_if<std::shared_ptr<Context>>(value) : nullptr;
        return context ? context->get() : nullptr;
    };
    Context* out = nested(before);
    Context* in = nested(now);
    if (out && out != in) {
        std::unique_lock guard(out->_lock);
        if (out->_listed && out->_listed->index == _index &&
            out->_listed->name == name) // it may be listed elsewhere now
            out->_listed.reset();
    }
    if (!in) {
        _index->put(name, nullptr, false);
        return;
    }
    std::unique_lock guard(in->_lock);
    in->_listed = std::make_unique<Listing>(Listing{_index, name});
    in->listIn(*_index, name);
}

void Context::changed(const std::string& name, const Value* now, const Value* before) {
    _changes.fetch_add(1, std::memory_order_release);
    if (!now || !before)
        _name_changes.fetch_add(1, std::memory_order_release);
    if (_listed) {
        Index& index = *_listed->index;
        if (name == index.leaf || name == index.flag)
            listIn(index, _listed->name);
        else
            index.touch(_listed->name);
    }
    if (_index)
        relist(name, now, before);
    ContextJournal* journal = _journal;
    if (!journal)
        return; // nested contexts of a tree without a journal are never followed
    const bool byPath = journal->byPath();
    std::string path;
    if (byPath)
        path = _path.empty() ? name : _path + "." + name;
    auto nested = [](const Value* value) {
        auto context = value ? std::get_if<std::shared_ptr<Context>>(value) : nullptr;
        return context ? context->get() : nullptr;
    };
    Context* out = nested(before);
    Context* in = nested(now);
    if (out && out != in)
        out->detach();
    if (in && in != out)
        in->attach(journal, path);
    if (byPath)
        journal->changed(path, now);
    else
        journal->changedIn(*this, name, now, before);
}

void Context::attach(ContextJournal* journal) {
    attach(journal, "");
}

// Top-down, one context locked after its parent: the order of every walk.
void Context::attach(ContextJournal* journal, std::string path) {
    std::vector<std::pair<std::string, std::shared_ptr<Context>>> children;
    {
        std::unique_lock guard(_lock);
        _path = std::move(path);
        _journal = journal;
        for (const auto& [name, value] : _data_hash)
            if (auto child = std::get_if<std::shared_ptr<Context>>(&value))
                children.emplace_back(_path.empty() ? name : _path + "." + name, *child);
    }
    for (auto& [childPath, child] : children)
        child->attach(journal, std::move(childPath));
}

void Context::detach() {
    std::vector<std::shared_ptr<Context>> children;
    {
        std::unique_lock guard(_lock);
        _journal = nullptr;
        for (const auto& [name, value] : _data_hash)
            if (auto child = std::get_if<std::shared_ptr<Context>>(&value))
                children.push_back(*child);
    }
    for (auto& child : children)
        child->detach();
}

void Context::answerAbsent(Absent absent) {
    auto answer = std::make_shared<const Absent>(std::move(absent));
    std::unique_lock guard(_lock);
    _absent = std::move(answer);
}

void Context::appendFromNested(const std::string& path) {
    auto nested = get(path);
    if (nested && std::holds_alternative<std::shared_ptr<Context>>(*nested))
        appendFromIfChanged(std::get<std::shared_ptr<Context>>(*nested));
}

// The same context appended again, when neither it nor this one has changed
// since, would change nothing: it is skipped (an action refreshes its copies
// of the player's variables before every condition).
void Context::appendFromIfChanged(const std::shared_ptr<Context>& source) {
    std::uint64_t theirs = source->changes();
    {
        std::shared_lock guard(_lock);
        if (_appended && _appended->source.lock() == source && _appended->theirs == theirs &&
            _appended->mine == _changes)
            return;
    }
    appendFrom(*source);
    std::unique_lock guard(_lock);
    // What was copied is at least as new as `theirs`.
    _appended = std::make_unique<Appended>(Appended{source, theirs, _changes});
}

} // namespace zanfir
