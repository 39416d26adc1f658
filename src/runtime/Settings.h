#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zanfir {

class Config;

// The settings of the main definition file (its variables outside any
// section), read once at start-up. Each part is handed the values it needs
// when it is built; nothing reads the file for a setting later.
struct Settings {
    static constexpr int DEFAULT_ROW_LENGTH = 80;

    std::string log_path = "logs"; // below the adventure's folder
    bool log_crlf = true;
    std::string log_level = "INFO";
    bool console_out_crlf = false;
    std::string remote_port = "12345"; // checked by the listener when it opens
    std::string remote_address;        // to listen on; empty: every address
    std::string title;                 // of the adventure; empty: its file's name
    std::string welcome;               // a line for clients before the name prompt
    // The web door of a server (0: none), the hosts (and ports) other than
    // its own whose pages may open a WebSocket, and the proxies whose
    // forwarded client address is believed (comma-separated lists).
    int web_port = 0;
    std::string web_origins;
    std::string web_proxies;
    // The TLS proxies whose PROXY header names a telnet client.
    std::string telnet_proxies;
    // How long a reloaded page may take its player of a shared world up
    // again without the password.
    std::chrono::minutes web_resume{30};
    bool remote_out_crlf = true;
    bool remote_in_echo = true;
    // Single-world server: a name's saved game is kept under a password.
    bool remote_passwords = false;
    // Speech and comings and goings reach a client that can show them at
    // once, not at its next command.
    bool live_messages = true;
    // Output waiting for a client that reads slowly: past this many bytes
    // the connection is closed.
    std::size_t remote_out_queue = 1024 * 1024;
    // How long a session's last output may wait for a client to take it.
    std::chrono::milliseconds remote_send_timeout{2000};
    // A checkpoint of the shared world is written at least this often while
    // it changes, and as soon as its journal has grown past the bytes.
    std::chrono::seconds checkpoint_interval{60};
    std::uint64_t journal_limit = 64ull * 1024 * 1024;
    // How long a stopping server waits for its sessions to end.
    std::chrono::milliseconds stop_timeout{5000};
    int row_length = DEFAULT_ROW_LENGTH; // a value that is no positive number gives the default
    bool row_length_given = false;       // the file sets a positive number
    bool preformatted = false;
    // What one command may do before it is stopped: action steps, bytes of
    // text printed.
    long command_steps = 1000000;
    std::size_t command_output = 256 * 1024;
    // Clients of a server: seconds to log in, seconds a player may stay
    // silent (0: for ever), connections at once, and from one address.
    std::chrono::seconds login_timeout{60};
    std::chrono::seconds idle_timeout{0};
    std::size_t max_connections = 2000;
    std::size_t max_connections_per_address = 50;
    // The longest line a player may send, in bytes without its end.
    std::size_t max_line_bytes = 4096;
    // Lines a client may send a second on average (in bursts of ten).
    std::size_t commands_per_second = 50;
    // New players a shared world takes from one address in a minute.
    std::size_t new_players_per_minute = 3;
    // Wrong passwords from one address, for any names, within ten minutes
    // that lock the whole address out.
    std::size_t address_lockout_failures = 50;
    // The sentences waiting for a player: past either limit the oldest go.
    std::size_t quote_queue = 64;
    std::size_t quote_queue_bytes = 64 * 1024;
    // Commands a player of a world of their own may take back (undo).
    std::size_t undo_levels = 10;

    // One setting of the main file, a row of table(): its name, what it
    // holds and the values it takes, and what it means, in a line. Its
    // default is what a Settings is made with.
    struct Entry {
        enum class Kind { TEXT, FLAG, NUMBER };
        const char* name = "";
        Kind kind = Kind::TEXT;
        const char* meaning = "";
        long min = 0, max = 0;            // a number's range
        std::vector<std::string> choices; // a text's values, when only some are
        const char* shown = nullptr;      // the default as the README words it, when not its value
        std::function<std::string(const Settings&)> get;        // as the file writes it
        std::function<void(Settings&, const std::string&)> set; // a value found good
        // Why a value cannot be used (not a whole number, out of range,
        // none of the choices); none when it can.
        std::optional<std::string> problem(const std::string& value) const;
    };
    // Every setting, in the order the README lists them.
    static const std::vector<Entry>& table();

    // The values of the file, each with its default when it is absent or
    // empty. A boolean is true when its text is "true" in any letter case. A
    // number that is no whole number or is out of its range, or a text that
    // is none of its choices, leaves the default, and `problems` is told why:
    // "Impostazione <name>: <reason>; uso <default>".
    static Settings read(const Config& main, std::vector<std::string>* problems = nullptr);
};

} // namespace zanfir
