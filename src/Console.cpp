#include "Console.h"

#include <unistd.h>

#include "Main.h"
#include "adventure/Adventure.h"
#include "common/ConsoleTerminal.h"
#include "common/Input.h"
#include "common/Output.h"

namespace zanfir {

void Console::start() {
    auto terminal = std::make_shared<ConsoleTerminal>(STDIN_FILENO, STDOUT_FILENO);
    auto out = std::make_unique<Output>(terminal, _settings.console_out_crlf, _settings);
    auto in = std::make_unique<Input>(terminal, *out);
    auto session = std::make_shared<Adventure>(_main, std::move(in), std::move(out));
    // The console's only session ends the program, also when its input ended
    // before anybody logged in.
    session->setOnFinished([this] { _main.quit(); });
    session->start();
}

} // namespace zanfir
