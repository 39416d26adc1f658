#include "common/Settings.h"

#include "common/Config.h"
#include "common/Util.h"
#include "exception/NumberFormatException.h"

namespace zanfir {

Settings Settings::read(const Config& main) {
    Settings settings;
    auto text = [&](const char* name, const std::string& fallback) {
        return main.getD(name, fallback);
    };
    auto flag = [&](const char* name, bool fallback) {
        return Util::equalsIgnoreCase(text(name, fallback ? "TRUE" : "FALSE"), "TRUE");
    };
    settings.log_path = text("LogPath", settings.log_path);
    settings.log_crlf = flag("LogCRLF", settings.log_crlf);
    settings.log_level = text("LogLevel", settings.log_level);
    settings.console_out_crlf = flag("ConsoleOutCRLF", settings.console_out_crlf);
    settings.remote_port = text("RemotePort", settings.remote_port);
    settings.remote_out_crlf = flag("RemoteOutCRLF", settings.remote_out_crlf);
    settings.remote_in_echo = flag("RemoteInEcho", settings.remote_in_echo);
    settings.preformatted = flag("Preformatted", settings.preformatted);
    try {
        int length = Util::parseInt(text("RowLength", std::to_string(DEFAULT_ROW_LENGTH)));
        if (length > 0)
            settings.row_length = length;
    } catch (const NumberFormatException&) {
    }
    return settings;
}

} // namespace zanfir
