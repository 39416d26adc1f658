#include "adventure/JsonFileStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "T.h"
#include "adventure/StateKeys.h"
#include "common/Context.h"
#include "common/ContextFile.h"
#include "common/Util.h"
#include "exception/SerializationException.h"

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

std::string JsonFileStore::sharedFile() const {
    return _directory + _adventure + ".gcontext";
}

std::string JsonFileStore::gameFile(const std::string& player) const {
    return _directory + Util::toLower(player) + ".context";
}

std::shared_ptr<Context> JsonFileStore::loadShared() {
    std::string file = sharedFile();
    ContextFile::removeLeftovers(file);
    if (!exists(file))
        return nullptr;
    auto state = ContextFile::read(file);
    // A shared world holds its players, none at first.
    auto users = state->get(StateKeys::USERS);
    if (!users || !std::holds_alternative<std::shared_ptr<Context>>(*users))
        badFile(file);
    return state;
}

void JsonFileStore::saveShared(const Context& state) {
    ContextFile::write(sharedFile(), state);
}

void JsonFileStore::checkWritable() {
    std::string probe = sharedFile() + ".tmp.XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0)
        throw SerializationException(sharedFile() + ": " + std::strerror(errno));
    ::close(fd);
    ::unlink(probe.c_str());
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
