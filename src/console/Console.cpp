#include "console/Console.h"

#include <unistd.h>

#include "console/EditingTerminal.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "runtime/ConsoleTerminal.h"
#include "runtime/Input.h"
#include "runtime/Output.h"

namespace zanfir {

void Console::start() {
    bool fitWidth = !_settings.row_length_given;
    std::shared_ptr<ConsoleTerminal> terminal;
    if (::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO))
        terminal = std::make_shared<EditingTerminal>(STDIN_FILENO, STDOUT_FILENO, fitWidth);
    else
        terminal = std::make_shared<ConsoleTerminal>(STDIN_FILENO, STDOUT_FILENO, fitWidth);
    auto out = std::make_unique<Output>(terminal, _settings.console_out_crlf, _settings);
    auto in = std::make_unique<Input>(terminal, *out, _settings.max_line_bytes);
    _session = std::make_shared<Adventure>(_main, std::move(in), std::move(out));
    // The console's only session ends the program, also when its input ended
    // before anybody logged in.
    _session->setOnFinished([this] { _main.quit(); });
    _session->start();
}

std::string Console::failure() const {
    return _session ? _session->failure() : "";
}

} // namespace zanfir
