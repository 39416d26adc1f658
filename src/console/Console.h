#pragma once

#include <memory>
#include <string>

#include "engine/FrontEnd.h"
#include "runtime/Settings.h"

namespace zanfir {

class Adventure;
class Main;

// The console front-end: one session on standard input and output. Its end
// stops the engine. When standard input and output are a terminal the
// player edits the lines typed (EditingTerminal); without a RowLength of
// the main file the text is wrapped at the terminal's width.
class Console : public FrontEnd {
public:
    Console(Main& main, Settings settings) : _main(main), _settings(std::move(settings)) {}

    void start() override;
    void close(std::int32_t) override {}
    void close() override {}
    void stop(std::chrono::milliseconds) override {}

    // The failure that ended the session (see Adventure::failure), once the
    // engine has stopped; empty when it ended normally or never started.
    std::string failure() const;

private:
    Main& _main;
    Settings _settings;
    std::shared_ptr<Adventure> _session;
};

} // namespace zanfir
