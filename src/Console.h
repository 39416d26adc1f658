#pragma once

#include "FrontEnd.h"
#include "common/Settings.h"

namespace zanfir {

class Main;

// The console front-end: one session on standard input and output. Its end
// stops the engine.
class Console : public FrontEnd {
public:
    Console(Main& main, Settings settings) : _main(main), _settings(std::move(settings)) {}

    void start() override;
    void close(std::int32_t) override {}
    void close() override {}
    void stop(std::chrono::milliseconds) override {}

private:
    Main& _main;
    Settings _settings;
};

} // namespace zanfir
