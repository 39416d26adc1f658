#include "state/JsonFileStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "T.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "state/ContextFile.h"
#include "state/JournalFile.h"
#include "util/Util.h"
#include "world/StateKeys.h"

namespace zanfir {

namespace {

bool exists(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0;
}

[[noreturn]] void badFile(const std::string& file) {
    throw SerializationException(T::NotAContextFile + file + T::QuoteEnd);
}

} // namespace

JsonFileStore::JsonFileStore(std::string directory, std::string adventure)
    : _directory(std::move(directory)), _adventure(std::move(adventure)) {}

JsonFileStore::~JsonFileStore() {
    if (_lock >= 0)
        ::close(_lock);
}

void JsonFileStore::lockShared() {
    if (_lock >= 0)
        return;
    std::string file = lockFile();
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw SerializationException(file + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            throw SerializationException(T::StateInUse + sharedFile() + T::StateInUseX);
        throw SerializationException(file + ": " + std::strerror(error));
    }
    _lock = fd;
}

std::string JsonFileStore::sharedFile() const {
    return _directory + _adventure + ".gcontext";
}

std::string JsonFileStore::lockFile() const {
    return sharedFile() + ".lock";
}

std::string JsonFileStore::journalFile() const {
    return sharedFile() + ".journal";
}

std::string JsonFileStore::gameFile(const std::string& player) const {
    return _directory + Util::toLower(player) + ".context";
}

std::shared_ptr<Context> JsonFileStore::loadShared() {
    std::string file = sharedFile(), journal = journalFile(), old = journal + ".old";
    ContextFile::removeLeftovers(file);
    if (!exists(file)) {
        // Changes without the state they change: a start would lose them.
        if (exists(journal) || exists(old))
            badFile(journal);
        return nullptr;
    }
    auto state = ContextFile::read(file);
    for (const auto& changes : {old, journal})
        if (exists(changes))
            JournalFile::replay(changes, *state);
    // A shared world holds its players, none at first.
    auto users = state->get(StateKeys::USERS);
    if (!users || !std::holds_alternative<std::shared_ptr<Context>>(*users))
        badFile(file);
    return state;
}

// The journal moves aside, the copy is taken and saved, the moved journal is
// dropped: every change in it was made before the copy was taken. The
// changes of the new journal may be in the copy already; made again over
// it, they give the same state. When a checkpoint failed, the journal it
// moved aside stays until one succeeds.
void JsonFileStore::checkpoint(const std::function<std::shared_ptr<Context>()>& copy) {
    std::string old = journalFile() + ".old";
    if (_journal && !exists(old))
        _journal->rotate();
    ContextFile::write(sharedFile(), *copy());
    if (!_journal) // not followed yet: what the journals held is in the copy
        ::unlink(journalFile().c_str());
    ::unlink(old.c_str());
    ContextFile::syncFolder(sharedFile());
}

void JsonFileStore::follow(Context& shared) {
    _journal = std::make_unique<JournalFile>(journalFile());
    shared.attach(_journal.get());
}

void JsonFileStore::awaitDurable() {
    if (_journal)
        _journal->awaitDurable();
}

std::uint64_t JsonFileStore::journalBytes() {
    return _journal ? _journal->size() : 0;
}

std::string JsonFileStore::journalError() {
    return _journal ? _journal->error() : "";
}

std::uint64_t JsonFileStore::journalSyncs() {
    return _journal ? _journal->syncs() : 0;
}

std::shared_ptr<Context> JsonFileStore::loadGame(const std::string& player) {
    std::string file = gameFile(player);
    ContextFile::removeLeftovers(file);
    if (!exists(file))
        return nullptr;
    auto game = ContextFile::read(file);
    // A game holds the player who saved it, maybe under another number.
    auto users = game->get(StateKeys::USERS);
    if (!users || !std::holds_alternative<std::shared_ptr<Context>>(*users) ||
        std::get<std::shared_ptr<Context>>(*users)
            ->namesWhere(StateKeys::NAME, Context::Value(player))
            .empty())
        badFile(file);
    return game;
}

void JsonFileStore::saveGame(const std::string& player, const Context& state) {
    ContextFile::removeLeftovers(gameFile(player));
    ContextFile::write(gameFile(player), state);
}

} // namespace zanfir
