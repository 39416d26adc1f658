#pragma once

#include <memory>
#include <string>

#include "adventure/StateStore.h"

namespace zanfir {

// The state in files beside the adventure, in the format of ContextFile: the
// shared world in <adventure>.gcontext, each player's game in <player in
// lower case>.context.
class JsonFileStore : public StateStore {
public:
    // `directory` is empty or ends with "/"; `adventure` is its name.
    JsonFileStore(std::string directory, std::string adventure);

    // Loading removes first what interrupted writes of that file left.
    std::shared_ptr<Context> loadShared() override;
    void saveShared(const Context& state) override;
    // Makes and removes a file beside the shared one.
    void checkWritable() override;
    std::shared_ptr<Context> loadGame(const std::string& player) override;
    void saveGame(const std::string& player, const Context& state) override;

    std::string sharedFile() const;
    std::string gameFile(const std::string& player) const;

private:
    std::string _directory;
    std::string _adventure;
};

} // namespace zanfir
