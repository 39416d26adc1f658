#pragma once

#include <memory>
#include <string>

#include "state/StateStore.h"

namespace zanfir {

class JournalFile;

// The state in files beside the adventure, in the format of ContextFile:
// the shared world's checkpoint in <adventure>.gcontext and its journal in
// <adventure>.gcontext.journal (and .journal.old while a checkpoint is
// being written), each player's game in <player in lower case>.context.
class JsonFileStore : public StateStore {
public:
    // `directory` is empty or ends with "/"; `adventure` is its name.
    JsonFileStore(std::string directory, std::string adventure);
    ~JsonFileStore() override;

    // Locks <adventure>.gcontext.lock (an advisory lock, gone with the
    // process however it ends).
    void lockShared() override;
    // Removes first what interrupted writes left.
    std::shared_ptr<Context> loadShared() override;
    void checkpoint(const std::function<std::shared_ptr<Context>()>& copy) override;
    void follow(Context& shared) override;
    void awaitDurable() override;
    std::uint64_t journalBytes() override;
    std::string journalError() override;
    std::uint64_t journalSyncs() override;
    std::shared_ptr<Context> loadGame(const std::string& player) override;
    void saveGame(const std::string& player, const Context& state) override;

    std::string sharedFile() const;
    std::string journalFile() const;
    std::string gameFile(const std::string& player) const;
    std::string lockFile() const;

private:
    std::string _directory;
    std::string _adventure;
    std::unique_ptr<JournalFile> _journal;
    int _lock = -1;
};

} // namespace zanfir
