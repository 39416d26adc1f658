#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace zanfir {

class ContextJournal;

// A tree of named values addressed by dotted paths. Names are stored
// upper-cased; reading a path creates the contexts on the way, as writing
// does. Every context has its own lock; a path is walked one lock at a time.
class Context {
public:
    using Value = std::variant<std::string, std::int32_t, bool, std::shared_ptr<Context>>;

    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void set(const std::string& path, Value value);
    std::optional<Value> get(const std::string& path);
    bool exist(const std::string& path);
    // The context under the path, made (with those on the way) when there is
    // none; TypeMismatchException when a value that is no context is there.
    std::shared_ptr<Context> nested(const std::string& path);
    // Removes the name under the path (the design's `delete`).
    void remove(const std::string& path);
    void rename(const std::string& from, const std::string& to);

    void setString(const std::string& path, const std::string& value);
    void setInt(const std::string& path, std::int32_t value);
    void setBoolean(const std::string& path, bool value);
    std::string getString(const std::string& path);
    std::int32_t getInt(const std::string& path);
    bool getBoolean(const std::string& path);

    std::int32_t count() const;
    // How many changes the names directly in this context have had (not
    // those inside its nested contexts): equal counts, equal entries.
    std::uint64_t changes() const;
    // How many times a name was added to or removed from this context: while
    // it stays, the context holds the same names in the same order.
    std::uint64_t nameChanges() const;
    // Snapshots taken under the lock.
    std::vector<std::string> names() const;
    std::vector<std::pair<std::string, Value>> entries() const;

    void copyFrom(const Context& other);
    void appendFrom(const Context& other);
    // appendFrom the context under the path, when there is one there.
    void appendFromNested(const std::string& path);
    // appendFrom, unless neither `source` nor this context has changed since
    // the last time it was appended here.
    void appendFromIfChanged(const std::shared_ptr<Context>& source);
    // The names of the nested contexts directly in this one whose entry
    // `leaf` (a name without dots) holds the given value.
    std::vector<std::string> namesWhere(const std::string& leaf, const Value& value) const;
    // The same nested contexts, each with its name.
    std::vector<std::pair<std::string, std::shared_ptr<Context>>>
    nestedWhere(const std::string& leaf, const Value& value) const;
    // From now on namesWhere(leaf, a text) answers from an index of the
    // nested contexts directly in this one, kept up to date as they change,
    // instead of looking into each of them. The index also knows whether
    // each one's entry `flag` (a name without dots), when given, is true.
    void indexBy(const std::string& leaf, const std::string& flag = "");
    // From that index, given a flag: the names of the nested contexts whose
    // leaf holds the text and whose flag is not true, sorted, and in
    // `version` the version of the text (see versionWhere) they were taken
    // at. None without such an index.
    std::optional<std::vector<std::string>>
    unflaggedWhere(const std::string& leaf, const Value& value, std::uint64_t& version) const;
    // A number that changes whenever a nested context comes to hold the
    // text under the indexed leaf, stops holding it, or changes any entry
    // of its own while it holds it; never the same for another state of any
    // index. None when this context has no index of the leaf.
    std::optional<std::uint64_t> versionWhere(const std::string& leaf, const Value& value) const;

    // A copy of the whole tree, nested contexts copied too, in the same
    // order; each context is locked only while it is copied.
    std::shared_ptr<Context> clone() const;

    // From now on every change of this tree, whatever path or reference it
    // is made through, is told to the journal with its path from this
    // context. A nested context taken out of the tree is no longer followed.
    void attach(ContextJournal* journal);

    // Answers a read of a name this context does not hold: a value kept
    // elsewhere in a compact form. Called with no lock of this tree held;
    // its answers are neither stored, listed nor copied.
    using Absent = std::function<std::optional<Value>(std::string_view name)>;
    void answerAbsent(Absent absent);

private:
    struct Index;

    // The nested context under `name`, made when there is none; `rest` (the
    // path from here) names it in the error when `name` holds no context.
    std::shared_ptr<Context> child(std::string_view name, std::string_view rest);
    // Walks `rest` down to the context that holds its last
    // name, which is left in `rest`; `hold` keeps that context alive.
    Context* descend(std::string_view& rest, std::shared_ptr<Context>& hold);
    template <class Op>
    auto walk(const std::string& path, bool write, Op&& op);
    template <class Kind>
    Kind getTyped(const std::string& path, Kind absent);
    // Tells the journal of a change of the entry `name`, and follows or
    // leaves the nested contexts it brings in or takes out. Under the lock.
    void changed(const std::string& name, const Value* now, const Value* before);
    void attach(ContextJournal* journal, std::string path);
    void detach();
    // Tells the index, where it lists this context as `name`, its leaf and
    // flag now. Under the lock.
    void listIn(Index& index, const std::string& name) const;
    // Lists the nested context that `name` now holds in this one's index,
    // and unlists the one it held before. Under the lock.
    void relist(const std::string& name, const Value* now, const Value* before);

    // Readers share it; a writer holds one context's lock at a time.
    mutable std::shared_mutex _lock;
    // Looked up by string_view too, so a walk cuts no strings out of a path.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    using Data = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;
    Data _data_hash;
    // The entry of a name in any letter case, or the end. Under the lock.
    Data::iterator entry(std::string_view name);
    // Set while the context belongs to a tree with a journal; _path is fixed
    // before the context is reachable from that tree.
    std::atomic<ContextJournal*> _journal{nullptr};
    std::string _path;
    // This context's index of its nested ones, and the index (of the context
    // that holds this one) that lists it, with the name it lists it under.
    // Locks are taken parent, child, index: never the other way. The rare
    // parts are made when needed: a shared world holds many contexts.
    struct Listing {
        std::shared_ptr<Index> index;
        std::string name;
    };
    std::shared_ptr<Index> _index;
    std::unique_ptr<Listing> _listed;
    // How many changes this context has had; and, for appendFromNested, the
    // context last appended, its count then and this one's count after.
    struct Appended {
        std::weak_ptr<Context> source;
        std::uint64_t theirs = 0;
        std::uint64_t mine = 0;
    };
    // Counted under the writers' lock, read without it.
    std::atomic<std::uint64_t> _changes = 0;
    std::atomic<std::uint64_t> _name_changes = 0;
    std::unique_ptr<Appended> _appended;
    std::shared_ptr<const Absent> _absent;
};

} // namespace zanfir
