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
    settings.remote_address = Util::trim(text("RemoteAddress", settings.remote_address));
    settings.title = Util::trim(text("Title", settings.title));
    settings.web_origins = Util::trim(text("WebOrigins", settings.web_origins));
    settings.web_proxies = Util::trim(text("WebProxies", settings.web_proxies));
    settings.remote_out_crlf = flag("RemoteOutCRLF", settings.remote_out_crlf);
    settings.remote_in_echo = flag("RemoteInEcho", settings.remote_in_echo);
    settings.remote_passwords = flag("RemotePasswords", settings.remote_passwords);
    settings.preformatted = flag("Preformatted", settings.preformatted);
    // A number that is no positive integer leaves the default.
    auto positive = [&](const char* name, long fallback) -> long {
        try {
            long value = Util::parseInt(text(name, ""));
            return value > 0 ? value : fallback;
        } catch (const NumberFormatException&) {
            return fallback;
        }
    };
    settings.row_length = static_cast<int>(positive("RowLength", 0));
    settings.row_length_given = settings.row_length > 0;
    if (!settings.row_length_given)
        settings.row_length = DEFAULT_ROW_LENGTH;
    settings.remote_out_queue = static_cast<std::size_t>(
        positive("RemoteOutQueue", static_cast<long>(settings.remote_out_queue)));
    settings.remote_send_timeout = std::chrono::milliseconds(
        positive("RemoteSendTimeout", static_cast<long>(settings.remote_send_timeout.count())));
    settings.checkpoint_interval = std::chrono::seconds(
        positive("CheckpointSeconds", static_cast<long>(settings.checkpoint_interval.count())));
    settings.journal_limit = static_cast<std::uint64_t>(
        positive("JournalBytes", static_cast<long>(settings.journal_limit)));
    settings.stop_timeout = std::chrono::milliseconds(
        positive("StopTimeout", static_cast<long>(settings.stop_timeout.count())));
    settings.command_steps = positive("CommandSteps", settings.command_steps);
    settings.command_output = static_cast<std::size_t>(
        positive("CommandOutput", static_cast<long>(settings.command_output)));
    settings.quote_queue =
        static_cast<std::size_t>(positive("QuoteQueue", static_cast<long>(settings.quote_queue)));
    settings.quote_queue_bytes = static_cast<std::size_t>(
        positive("QuoteQueueBytes", static_cast<long>(settings.quote_queue_bytes)));
    settings.undo_levels =
        static_cast<std::size_t>(positive("UndoLevels", static_cast<long>(settings.undo_levels)));
    settings.login_timeout = std::chrono::seconds(
        positive("LoginTimeout", static_cast<long>(settings.login_timeout.count())));
    settings.idle_timeout = std::chrono::seconds(
        positive("IdleTimeout", static_cast<long>(settings.idle_timeout.count())));
    settings.max_connections = static_cast<std::size_t>(
        positive("MaxConnections", static_cast<long>(settings.max_connections)));
    settings.max_connections_per_address = static_cast<std::size_t>(positive(
        "MaxConnectionsPerAddress", static_cast<long>(settings.max_connections_per_address)));
    settings.new_players_per_minute = static_cast<std::size_t>(
        positive("NewPlayersPerMinute", static_cast<long>(settings.new_players_per_minute)));
    settings.commands_per_second = static_cast<std::size_t>(
        positive("CommandsPerSecond", static_cast<long>(settings.commands_per_second)));
    settings.web_port = static_cast<int>(positive("WebPort", settings.web_port));
    return settings;
}

} // namespace zanfir
