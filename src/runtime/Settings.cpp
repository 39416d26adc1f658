#include "runtime/Settings.h"

#include <climits>
#include <optional>
#include <type_traits>

#include "T.h"
#include "runtime/Errors.h"
#include "util/Util.h"
#include "world/Config.h"

namespace zanfir {

namespace {

using Entry = Settings::Entry;
using Kind = Entry::Kind;
constexpr long ANY = INT32_MAX; // numbers are read as 32-bit integers

Entry entry(const char* name, Kind kind, const char* meaning) {
    Entry made;
    made.name = name;
    made.kind = kind;
    made.meaning = meaning;
    return made;
}

Entry text(const char* name, std::string Settings::*field, const char* meaning,
           bool trimmed = false) {
    Entry text = entry(name, Kind::TEXT, meaning);
    text.get = [field](const Settings& settings) { return settings.*field; };
    text.set = [field, trimmed](Settings& settings, const std::string& value) {
        settings.*field = trimmed ? Util::trim(value) : value;
    };
    return text;
}

Entry flag(const char* name, bool Settings::*field, const char* meaning) {
    Entry flag = entry(name, Kind::FLAG, meaning);
    flag.get = [field](const Settings& settings) { return settings.*field ? "TRUE" : "FALSE"; };
    flag.set = [field](Settings& settings, const std::string& value) {
        settings.*field = Util::equalsIgnoreCase(value, "TRUE");
    };
    return flag;
}

template <typename Value>
Entry number(const char* name, Value Settings::*field, long min, const char* meaning,
             long max = ANY) {
    Entry number = entry(name, Kind::NUMBER, meaning);
    number.min = min;
    number.max = max;
    number.get = [field](const Settings& settings) {
        if constexpr (std::is_arithmetic_v<Value>)
            return std::to_string(settings.*field);
        else
            return std::to_string((settings.*field).count());
    };
    number.set = [field](Settings& settings, const std::string& value) {
        settings.*field = static_cast<Value>(Util::parseInt(value));
    };
    return number;
}

// The same setting, with only these texts allowed.
Entry among(Entry entry, std::vector<std::string> choices) {
    entry.choices = std::move(choices);
    return entry;
}

// The same setting, its default worded so in the README.
Entry shown(Entry entry, const char* words) {
    entry.shown = words;
    return entry;
}

// The same setting, which also sets `given` when the file gives it.
Entry flagging(Entry entry, bool Settings::*given) {
    entry.set = [set = entry.set, given](Settings& settings, const std::string& value) {
        set(settings, value);
        settings.*given = true;
    };
    return entry;
}

} // namespace

std::optional<std::string> Settings::Entry::problem(const std::string& value) const {
    const Entry& entry = *this;
    if (entry.kind == Kind::TEXT && !entry.choices.empty()) {
        for (const auto& choice : entry.choices)
            if (Util::equalsIgnoreCase(Util::trim(value), choice))
                return std::nullopt;
        std::string choices;
        for (const auto& choice : entry.choices)
            choices += (choices.empty() ? "" : ", ") + choice;
        return "'" + value + "'" + T::SettingNoChoice + choices;
    }
    if (entry.kind != Kind::NUMBER)
        return std::nullopt;
    long number;
    try {
        number = Util::parseInt(value);
    } catch (const NumberFormatException&) {
        return "'" + value + "'" + T::SettingNoNumber;
    }
    if (number >= entry.min && number <= entry.max)
        return std::nullopt;
    if (entry.max == ANY)
        return std::to_string(number) + T::SettingBelow + std::to_string(entry.min);
    return std::to_string(number) + T::SettingOutside + std::to_string(entry.min) +
           T::SettingOutsideX + std::to_string(entry.max);
}

const std::vector<Entry>& Settings::table() {
    static const std::vector<Entry> entries{
        flagging(number("RowLength", &Settings::row_length, 1, "terminal width for word wrap"),
                 &Settings::row_length_given),
        flag("Preformatted", &Settings::preformatted, "texts printed as written, not wrapped"),
        flag("ConsoleOutCRLF", &Settings::console_out_crlf, "console lines end with CR LF"),
        text("RemotePort", &Settings::remote_port, "TCP port of the server"),
        text("RemoteAddress", &Settings::remote_address,
             "address the server listens on; empty: every address", true),
        shown(text("Title", &Settings::title, "the adventure's title", true),
              "the main file's name"),
        text("Welcome", &Settings::welcome, "a line shown to clients under the title", true),
        number("WebPort", &Settings::web_port, 0, "port of the browser door; 0: none", 65535),
        text("WebOrigins", &Settings::web_origins, "other hosts whose pages may open a WebSocket",
             true),
        text("TelnetProxies", &Settings::telnet_proxies,
             "proxies whose PROXY header names the telnet client", true),
        text("WebProxies", &Settings::web_proxies,
             "reverse proxies whose X-Forwarded-For is believed", true),
        number("WebResumeMinutes", &Settings::web_resume, 1,
               "minutes a reloaded page may resume its player without the password", 24 * 60),
        flag("RemoteOutCRLF", &Settings::remote_out_crlf, "lines to players end with CR LF"),
        flag("RemoteInEcho", &Settings::remote_in_echo, "what players type is echoed"),
        number("RemoteOutQueue", &Settings::remote_out_queue, 1,
               "bytes of output that may wait for a client"),
        number("CommandSteps", &Settings::command_steps, 1, "steps a command may take"),
        number("CommandOutput", &Settings::command_output, 1, "bytes a command may print"),
        number("MaxLineBytes", &Settings::max_line_bytes, 16,
               "bytes of the longest line a player may send", 1024 * 1024),
        number("QuoteQueue", &Settings::quote_queue, 1, "sentences waiting for a player"),
        number("QuoteQueueBytes", &Settings::quote_queue_bytes, 1,
               "bytes of sentences waiting for a player"),
        number("UndoLevels", &Settings::undo_levels, 1, "commands a player can take back"),
        number("StopTimeout", &Settings::stop_timeout, 1,
               "milliseconds a stopping server waits for its sessions"),
        number("CheckpointSeconds", &Settings::checkpoint_interval, 1,
               "seconds between checkpoints of a changing shared world"),
        number("JournalBytes", &Settings::journal_limit, 1,
               "bytes of journal that bring a checkpoint sooner"),
        number("RemoteSendTimeout", &Settings::remote_send_timeout, 1,
               "milliseconds a session waits for a slow client"),
        text("LogPath", &Settings::log_path, "log directory below the adventure's"),
        flag("LogCRLF", &Settings::log_crlf, "log lines end with CR LF"),
        among(text("LogLevel", &Settings::log_level, "lowest level logged"),
              {"INFO", "WARN", "FAIL"}),
        number("LoginTimeout", &Settings::login_timeout, 1, "seconds a client has to log in"),
        number("IdleTimeout", &Settings::idle_timeout, 0,
               "seconds a player may stay silent; 0: for ever"),
        number("MaxConnections", &Settings::max_connections, 1, "connections at once"),
        number("MaxConnectionsPerAddress", &Settings::max_connections_per_address, 1,
               "connections at once from one address"),
        number("NewPlayersPerMinute", &Settings::new_players_per_minute, 1,
               "new players a minute from one address"),
        number("AddressLockoutFailures", &Settings::address_lockout_failures, 1,
               "wrong passwords in ten minutes that lock an address out"),
        number("CommandsPerSecond", &Settings::commands_per_second, 1,
               "lines a client may send a second"),
        flag("LiveMessages", &Settings::live_messages,
             "speech and comings and goings reach clients at once"),
        flag("RemotePasswords", &Settings::remote_passwords,
             "with -server, saved games kept under a password"),
    };
    return entries;
}

Settings Settings::read(const Config& main, std::vector<std::string>* problems) {
    Settings settings;
    for (const auto& entry : table()) {
        auto value = main.getN(entry.name);
        // An empty number is as good as none.
        if (!value || (entry.kind == Kind::NUMBER && Util::trim(*value).empty()))
            continue;
        if (auto why = entry.problem(*value)) {
            if (problems)
                problems->push_back(T::SettingRefused + std::string(entry.name) + ": " + *why +
                                    T::SettingRefusedX + entry.get(settings));
            continue;
        }
        entry.set(settings, *value);
    }
    return settings;
}

} // namespace zanfir
