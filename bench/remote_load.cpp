// Load benchmark of the server: starts build/zanfir on a copy of the bundled
// adventure, holds many loopback connections and drives some of them as fast
// as their prompts come back. Prints the figures; never fails on speed.
//
//   bench_remote [--connections N] [--active N] [--seconds S] [--no-mud]
//                [--checkpoint S] [--kill] [--world N] [--web]
//                [--adventure NAME] [--spread] [--new-players] [--no-live]
//
// With --web the clients come through the WebSocket door (WebPort) instead
// of telnet, as the page does. --adventure names a bundled adventure other
// than torre; its active clients then walk at random, look and talk. With
// --spread every client, idle ones too, first takes a few random steps, so
// that the players stand spread over the places they can reach.
//
// The shared world is prepared with the players already in it, their
// passwords hashed at libsodium's lowest cost, so that logging thousands in
// takes seconds and not the minutes of full-cost hashes; --new-players logs
// them in as new players instead, each password hashed in full.
//
// WebSocket clients take live text (what others say, who comes and goes,
// sent while they wait); --no-live turns it off (LiveMessages=FALSE), for
// the figures without it. A question is answered when its input message
// comes, whatever live text came before.
//
// The clients all come from 127.0.0.1: the server's caps of connections and
// of new players per address are raised to their number, and a client
// sends as fast as it is answered (CommandsPerSecond is raised); every
// other setting is its default.
//
// A shared world is stopped with SIGTERM at the end and its saved state is
// checked against what each client was told. With --kill the server is
// killed (SIGKILL) at a random moment of the load instead, the state it
// recovers is checked the same way, and restarts are timed: of this world,
// and of one grown to N players with a full journal to replay.
//
// ZANFIR_BIN in the environment names another build of the program to run.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sodium.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/SeenPlayers.h"
#include "state/Context.h"
#include "state/JsonFileStore.h"
#include "util/Util.h"
#include "world/StateKeys.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int connections = 1000;
    int active = 100;
    double seconds = 10;
    bool mud = true;
    int checkpoint = 5; // CheckpointSeconds: some checkpoints fall in the run
    bool kill = false;
    int world = 100000;
    bool web = false;
    std::string adventure = "torre";
    bool spread = false;
    bool newPlayers = false;
    bool live = true;
};

// One simulated player.
struct Bot {
    int fd = -1;
    std::string name;
    std::string pending;
    std::string frames;    // a WebSocket client's bytes not yet taken apart
    bool upgraded = false; // its handshake answered
    enum Step { Name, Password, Again, Warming, Waiting, Done } step = Name;
    bool active = false;
    int next = 0;                   // index into the command cycle
    std::string location = "PRATO"; // where the last answered command left it
    std::string asked;              // where the command in flight leaves it
    Clock::time_point sent;         // the command
    Clock::time_point lineSent;     // the last line of it (a talk sends two)
    int steps = 0;                  // random steps still to take before the timed part
};

// The command cycle of an active player, between the hall and the cellar of
// the bundled adventure, and where each command leaves the player.
const std::vector<std::pair<std::string, std::string>> CYCLE = {
    {"scendi", "CANTINA"}, {"guarda", ""},
    {"sali", "INGRESSO"},  {"prendi fiammiferi", ""},
    {"cosa", ""},          {"lascia fiammiferi", ""},
    {"parla", ""},         {"guarda fiammiferi", ""},
};

// The commands of a client wandering an adventure other than torre.
const std::vector<std::string> MOVES = {"nord", "sud",    "est",   "ovest",
                                        "sali", "scendi", "entra", "esci"};
const std::vector<std::string> WANDER = {"nord",  "sud",  "est",    "ovest", "sali",
                                         "entra", "esci", "guarda", "cosa",  "parla"};
constexpr int WARM_STEPS = 12;

std::string adventureName = "torre";

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long rssKiB(int pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}

double mib(const fs::path& file) {
    std::error_code error;
    auto size = fs::file_size(file, error);
    return error ? 0.0 : static_cast<double>(size) / 1048576.0;
}

int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

int connectTo(int port, int attempts = 500) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
            return fd;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool web = false; // the clients speak WebSocket

// A line as a client sends it: CR LF ended, or one masked WebSocket text
// frame (a zero mask: legal, and the payload stays as it is).
std::string lineBytes(const std::string& line) {
    if (!web)
        return line + "\r\n";
    std::string frame = "\x81";
    if (line.size() < 126) {
        frame += static_cast<char>(0x80 | line.size());
    } else {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(line.size() >> 8);
        frame += static_cast<char>(line.size() & 0xff);
    }
    return frame + std::string(4, '\0') + line;
}

// Takes the server's complete frames out of a WebSocket client's bytes: the
// payloads (JSON, where the prompts stand as they are) go to its text.
// False when the server closed.
bool unframe(Bot& bot) {
    if (!bot.upgraded) {
        auto end = bot.frames.find("\r\n\r\n");
        if (end == std::string::npos)
            return true;
        bot.frames.erase(0, end + 4);
        bot.upgraded = true;
    }
    for (;;) {
        if (bot.frames.size() < 2)
            return true;
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bot.frames[i]); };
        std::size_t length = byte(1) & 0x7f, header = 2;
        if (length == 126) {
            if (bot.frames.size() < 4)
                return true;
            length = byte(2) << 8 | byte(3);
            header = 4;
        } else if (length == 127) {
            if (bot.frames.size() < 10)
                return true;
            length = 0;
            for (std::size_t i = 2; i < 10; ++i)
                length = length << 8 | byte(i);
            header = 10;
        }
        if (bot.frames.size() < header + length)
            return true;
        if ((byte(0) & 0x0f) == 0x8)
            return false;
        bot.pending.append(bot.frames, header, length);
        bot.frames.erase(0, header + length);
    }
}

void sendLine(int fd, const std::string& line) {
    std::string bytes = lineBytes(line);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EAGAIN)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        else
            return;
    }
}

void sendLine(Bot& bot, const std::string& line) {
    sendLine(bot.fd, line);
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

// The server on the copy of the adventure in `dir`.
pid_t startServer(const fs::path& dir, bool mud) {
    pid_t server = ::fork();
    if (server == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        std::string file = (dir / (adventureName + ".zanfa")).string();
        const char* binary = std::getenv("ZANFIR_BIN") ? std::getenv("ZANFIR_BIN") : ZANFIR_BIN;
        std::vector<const char*> args{binary, file.c_str(), "-server"};
        if (mud)
            args.push_back("-mud");
        args.push_back(nullptr);
        ::execv(binary, const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    return server;
}

// Seconds until the server listens; negative when it never does.
double awaitListening(int port, Clock::time_point start) {
    int probe = connectTo(port, 6000);
    if (probe < 0)
        return -1;
    ::close(probe);
    return since(start);
}

// SIGTERM; seconds until the server has ended, and its exit status.
std::pair<double, int> stopServer(pid_t server) {
    auto start = Clock::now();
    ::kill(server, SIGTERM);
    int status = 0;
    ::waitpid(server, &status, 0);
    return {since(start), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

// Where each player of the saved shared world is, by name.
std::map<std::string, std::string> placesSaved(const fs::path& dir) {
    zanfir::JsonFileStore store(dir.string() + "/", adventureName);
    auto state = store.loadShared();
    std::map<std::string, std::string> where;
    if (!state)
        return where;
    auto users = state->get("USER");
    if (!users || !std::holds_alternative<std::shared_ptr<zanfir::Context>>(*users))
        return where;
    auto& all = *std::get<std::shared_ptr<zanfir::Context>>(*users);
    for (const auto& name : all.names())
        where[all.getString(name + ".NAME")] = all.getString(name + ".LOCATION");
    return where;
}

// The players whose saved place is neither where their last answered command
// left them nor where the command in flight (when there is one) would.
int playersLost(const fs::path& dir, const std::vector<Bot>& bots) {
    try {
        auto where = placesSaved(dir);
        int lost = 0;
        for (const auto& bot : bots) {
            const std::string& saved = where[bot.name];
            if (saved != bot.location && (bot.asked.empty() || saved != bot.asked))
                ++lost;
        }
        return lost;
    } catch (const std::exception& error) {
        std::cerr << "saved state: " << error.what() << "\n";
        return static_cast<int>(bots.size());
    }
}

// The checkpoints the log tells of, and the journal syncs the last one counts.
std::pair<int, long> checkpointsLogged(const fs::path& dir) {
    static const std::regex line(
        R"(Stato salvato \((\d+)\), giornale sincronizzato finora volte: (\d+))");
    int checkpoints = 0;
    long syncs = 0;
    for (const auto& entry : fs::directory_iterator(dir / "logs")) {
        std::ifstream log(entry.path());
        std::string text;
        std::smatch match;
        while (std::getline(log, text))
            if (std::regex_search(text, match, line)) {
                checkpoints = std::max(checkpoints, std::stoi(match[1]));
                syncs = std::max(syncs, std::stol(match[2]));
            }
    }
    return {checkpoints, syncs};
}

// The recovered world grown to `players` players, its checkpoint written,
// and a journal of `journalBytes` of moves left to replay, as a kill leaves
// it at the worst moment.
void growWorld(const fs::path& dir, int players, std::uint64_t journalBytes) {
    zanfir::JsonFileStore store(dir.string() + "/", adventureName);
    auto state = store.loadShared();
    auto users = std::get<std::shared_ptr<zanfir::Context>>(*state->get("USER"));
    auto model = std::get<std::shared_ptr<zanfir::Context>>(*users->get(users->names().front()));
    for (int i = users->count(); i < players; ++i) {
        auto player = model->clone();
        player->setString("NAME", "Gen" + std::to_string(i));
        users->set(std::to_string(1000000 + i), player);
    }
    store.checkpoint([&] { return state; });
    store.follow(*state);
    auto names = users->names();
    for (std::size_t i = 0; store.journalBytes() < journalBytes; ++i) {
        users->setString(names[i % names.size()] + ".LOCATION",
                         i / names.size() % 2 ? "CANTINA" : "INGRESSO");
        if (i % 10000 == 0)
            store.awaitDurable();
    }
    store.awaitDurable();
}

// The state file at the stop (MiB) and the time to write it again (ms). With
// `eachFlag`, every flag a player holds for another player is first stored
// under SEEN.ITEMS on its own, as for any item, instead of in one text.
std::pair<double, double> stateAtTheStop(const fs::path& dir, bool eachFlag) {
    using zanfir::StateKeys;
    zanfir::JsonFileStore store(dir.string() + "/", adventureName);
    auto state = store.loadShared();
    if (eachFlag) {
        std::vector<std::pair<std::int32_t, std::string>> players;
        auto users = std::get<std::shared_ptr<zanfir::Context>>(*state->get(StateKeys::USERS));
        for (const auto& number : users->names()) {
            auto id = std::stoi(number);
            players.emplace_back(id,
                                 zanfir::Util::toUpper(state->getString(StateKeys::userName(id))));
        }
        for (const auto& [viewer, unused] : players)
            for (const auto& [id, item] : players)
                if (zanfir::SeenPlayers::has(*state, viewer, id))
                    state->setBoolean(StateKeys::seenItem(viewer, item), true);
    }
    auto start = Clock::now();
    store.checkpoint([&] { return state; });
    double took = since(start) * 1000;
    return {mib(dir / (adventureName + ".gcontext")), took};
}

// Reads from a non-blocking client until `marker` has come; false after 60 s.
bool awaitText(int fd, const std::string& marker) {
    std::string got;
    auto until = Clock::now() + std::chrono::seconds(60);
    while (got.find(marker) == std::string::npos) {
        if (Clock::now() > until)
            return false;
        char buffer[4096];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A world that already holds `players` players Bot0, Bot1, ... at the start,
// each a copy of one logged in for real, with the password "segreto" hashed
// at the lowest cost libsodium allows.
bool prepareWorld(const fs::path& dir, int port, int players) {
    pid_t server = startServer(dir, true);
    int fd = awaitListening(port, Clock::now()) < 0 ? -1 : connectTo(port);
    bool in = fd >= 0 && awaitText(fd, "nome? ");
    if (in) {
        sendLine(fd, "Bot0");
        in = awaitText(fd, "password? ");
    }
    if (in) {
        sendLine(fd, "segreto");
        in = awaitText(fd, "favore: ");
    }
    if (in) {
        sendLine(fd, "segreto");
        in = awaitText(fd, "Cosa devo fare? ");
    }
    stopServer(server);
    ::close(fd);
    if (!in)
        return false;
    char cheap[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(cheap, "segreto", 7, crypto_pwhash_OPSLIMIT_MIN,
                          crypto_pwhash_MEMLIMIT_MIN) != 0)
        return false;
    zanfir::JsonFileStore store(dir.string() + "/", adventureName);
    auto state = store.loadShared();
    auto users = std::get<std::shared_ptr<zanfir::Context>>(*state->get("USER"));
    auto model = std::get<std::shared_ptr<zanfir::Context>>(*users->get(users->names().front()));
    users->remove(users->names().front());
    for (int i = 0; i < players; ++i) {
        auto player = model->clone();
        player->setString("NAME", "Bot" + std::to_string(i));
        player->setString("PASSWORD", cheap);
        users->set(std::to_string(i + 1), player);
    }
    store.checkpoint([&] { return state; });
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string("0"); };
        if (arg == "--connections")
            options.connections = std::stoi(value());
        else if (arg == "--active")
            options.active = std::stoi(value());
        else if (arg == "--seconds")
            options.seconds = std::stod(value());
        else if (arg == "--no-mud")
            options.mud = false;
        else if (arg == "--checkpoint")
            options.checkpoint = std::max(1, std::stoi(value()));
        else if (arg == "--kill")
            options.kill = true;
        else if (arg == "--world")
            options.world = std::stoi(value());
        else if (arg == "--web")
            options.web = true;
        else if (arg == "--adventure")
            options.adventure = value();
        else if (arg == "--spread")
            options.spread = true;
        else if (arg == "--new-players")
            options.newPlayers = true;
        else if (arg == "--no-live")
            options.live = false;
        else {
            std::cerr << "usage: bench_remote [--connections N] [--active N] [--seconds S] "
                         "[--no-mud] [--checkpoint S] [--kill] [--world N] [--web]\n"
                         "                    [--adventure NAME] [--spread] [--new-players] "
                         "[--no-live]\n";
            return 2;
        }
    }
    options.active = std::min(options.active, options.connections);
    options.kill = options.kill && options.mud && options.active > 0;
    adventureName = options.adventure;
    // Where each client stands is followed only on torre's fixed cycle.
    const bool followed = adventureName == "torre" && !options.spread;
    options.kill = options.kill && followed;
    ::signal(SIGPIPE, SIG_IGN);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    // A copy of the bundled adventure on a free port, without the log's
    // file writes mattering to the figures (the log stays on, as it must).
    fs::path dir = fs::temp_directory_path() / ("zanfir-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::copy(fs::path(ZANFIR_SOURCE_DIR) / "adventures" / adventureName, dir,
             fs::copy_options::recursive);
    int port = freePort(), webPort = freePort();
    while (webPort == port) // a port closed may be offered again
        webPort = freePort();
    std::string raised; // the settings the load needs above their defaults
    {
        // The last definition of a setting wins.
        std::ifstream in(dir / (adventureName + ".zanfa"));
        std::stringstream text;
        text << in.rdbuf();
        std::string main = text.str();
        auto settings = main.find("\n[");
        // Every client comes from one address: its caps are raised to them all.
        raised = "MaxConnections=" + std::to_string(std::max(2000, options.connections + 1)) +
                 "\nMaxConnectionsPerAddress=" + std::to_string(options.connections + 1) +
                 "\nNewPlayersPerMinute=" + std::to_string(options.connections) +
                 "\nCommandsPerSecond=100000\n" + (options.live ? "" : "LiveMessages=FALSE\n");
        main.insert(settings == std::string::npos ? main.size() : settings + 1,
                    "RemotePort=" + std::to_string(port) + "\nWebPort=" + std::to_string(webPort) +
                        "\nCheckpointSeconds=" + std::to_string(options.checkpoint) + "\n" +
                        raised);
        std::ofstream(dir / (adventureName + ".zanfa")) << main;
    }
    const bool prepared = options.mud && !options.newPlayers;
    if (prepared && !prepareWorld(dir, port, options.connections)) {
        std::cerr << "could not prepare a world of " << options.connections << " players\n";
        return 1;
    }
    web = options.web;
    auto serverStart = Clock::now();
    pid_t server = startServer(dir, options.mud);

    int epoll = ::epoll_create1(0);
    std::vector<Bot> bots(static_cast<std::size_t>(options.connections));
    if (awaitListening(port, serverStart) < 0) {
        std::cerr << "the server does not listen on port " << port << "\n";
        ::kill(server, SIGKILL);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    long rssBefore = rssKiB(server, "VmRSS:");

    auto start = Clock::now();
    for (int i = 0; i < options.connections; ++i) {
        Bot& bot = bots[static_cast<std::size_t>(i)];
        bot.name = "Bot" + std::to_string(i);
        bot.active = i < options.active;
        bot.fd = connectTo(web ? webPort : port);
        if (web) {
            std::string upgrade = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(webPort) +
                                  "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                  "Sec-WebSocket-Version: 13\r\n\r\n";
            ::send(bot.fd, upgrade.data(), upgrade.size(), MSG_NOSIGNAL);
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<std::uint32_t>(i);
        ::epoll_ctl(epoll, EPOLL_CTL_ADD, bot.fd, &event);
    }

    // The moment of the kill, within the timed part of the run.
    std::mt19937 random(std::random_device{}());
    double killAfter =
        std::uniform_real_distribution<double>(options.seconds * 0.2, options.seconds)(random);
    bool killed = false;

    int errors = 0, loggedIn = 0;
    long commands = 0;
    std::vector<double> latencies, answers; // per command, per line answered
    Clock::time_point driveStart{}, driveEnd{};
    bool driving = false, stopping = false;
    std::vector<long> rssSeries;
    auto issue = [&](Bot& bot, const std::string& command, const std::string& place) {
        bot.asked = place.empty() ? bot.location : place;
        bot.step = Bot::Waiting;
        bot.sent = bot.lineSent = Clock::now();
        sendLine(bot, command);
    };
    auto answered = [&](Bot& bot) {
        if (!stopping)
            answers.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - bot.lineSent).count());
    };
    auto deadline =
        start + std::chrono::seconds(120 + options.connections / 50) +
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
    int waiting = options.active;
    std::vector<epoll_event> events(256);
    while (Clock::now() < deadline && !killed) {
        if (!driving && loggedIn == options.connections) {
            driving = true;
            driveStart = Clock::now();
            std::cerr << "all " << loggedIn << " logged in after " << since(start) << " s\n";
            for (auto& bot : bots)
                if (bot.active)
                    issue(bot, followed ? "nord" : WANDER[random() % WANDER.size()],
                          followed ? "INGRESSO" : "");
        }
        if (driving && options.kill && since(driveStart) > killAfter) {
            ::kill(server, SIGKILL);
            ::waitpid(server, nullptr, 0);
            driveEnd = Clock::now();
            killed = true;
            break;
        }
        // The server's memory every ten seconds of load: flat, or growing.
        if (driving && !stopping && !killed &&
            since(driveStart) >= 10.0 * static_cast<double>(rssSeries.size()))
            rssSeries.push_back(rssKiB(server, "VmRSS:"));
        if (driving && !stopping &&
            (options.active == 0 ||
             Clock::now() - driveStart > std::chrono::duration<double>(options.seconds))) {
            stopping = true;
            driveEnd = Clock::now();
        }
        if (stopping && waiting == 0)
            break;
        int n = ::epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 100);
        for (int e = 0; e < n; ++e) {
            Bot& bot = bots[events[static_cast<std::size_t>(e)].data.u32];
            char buffer[65536];
            ssize_t got;
            while ((got = ::recv(bot.fd, buffer, sizeof buffer, 0)) > 0)
                (web ? bot.frames : bot.pending).append(buffer, static_cast<std::size_t>(got));
            if (got == 0 || (web && !unframe(bot))) {
                ++errors;
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, bot.fd, nullptr);
                bot.step = Bot::Done;
                continue;
            }
            // A page's question is one when its input message has come
            // (live text ends with the prompt too).
            auto take = [&](const char* marker) {
                auto at = bot.pending.find(marker);
                if (at == std::string::npos)
                    return false;
                std::size_t end = at + std::strlen(marker);
                if (web) {
                    auto input = bot.pending.find("\"type\":\"input\"", end);
                    if (input == std::string::npos)
                        return false;
                    end = bot.pending.find('}', input) + 1;
                }
                bot.pending.erase(0, end);
                return true;
            };
            for (bool progress = true; progress;) {
                progress = false;
                if (bot.step == Bot::Name && take("nome? ")) {
                    sendLine(bot, bot.name);
                    bot.step = options.mud ? Bot::Password : Bot::Again;
                    progress = true;
                } else if (bot.step == Bot::Password && take("password? ")) {
                    sendLine(bot, "segreto");
                    bot.step = Bot::Again;
                    progress = true;
                } else if (bot.step == Bot::Again && take("favore: ")) {
                    sendLine(bot, "segreto"); // a new player's password, once more
                    progress = true;
                } else if ((bot.step == Bot::Again || bot.step == Bot::Warming) &&
                           take("Cosa devo fare? ")) {
                    if (bot.step == Bot::Again && options.spread) {
                        bot.step = Bot::Warming;
                        bot.steps = WARM_STEPS;
                    }
                    if (bot.step == Bot::Warming && bot.steps-- > 0) {
                        sendLine(bot, MOVES[random() % MOVES.size()]);
                    } else {
                        ++loggedIn;
                        bot.step = Bot::Done;
                        bot.pending.clear();
                    }
                } else if (bot.step == Bot::Warming && take("Cosa devo dire? ")) {
                    sendLine(bot, "ciao a tutti");
                    progress = true;
                } else if (bot.step == Bot::Waiting && take("Cosa devo dire? ")) {
                    answered(bot);
                    bot.lineSent = Clock::now();
                    sendLine(bot, "ciao a tutti");
                    progress = true;
                } else if (bot.step == Bot::Waiting && take("Cosa devo fare? ")) {
                    bot.pending.clear();
                    bot.location = std::exchange(bot.asked, {});
                    answered(bot);
                    if (!stopping) {
                        latencies.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - bot.sent)
                                .count());
                        ++commands;
                    }
                    if (stopping) {
                        bot.step = Bot::Done;
                        --waiting;
                    } else if (followed) {
                        const auto& [command, place] = CYCLE[static_cast<std::size_t>(bot.next)];
                        bot.next = (bot.next + 1) % static_cast<int>(CYCLE.size());
                        issue(bot, command, place);
                    } else {
                        issue(bot, WANDER[random() % WANDER.size()], "");
                    }
                }
            }
        }
    }
    if (driveEnd == Clock::time_point{})
        driveEnd = Clock::now();
    double seconds = std::chrono::duration<double>(driveEnd - driveStart).count();
    if (waiting > 0 && !killed)
        errors += waiting;
    long rssAfter = killed ? 0 : rssKiB(server, "VmRSS:");
    long peak = killed ? 0 : rssKiB(server, "VmHWM:");

    std::printf("mode                 %s%s, %s%s%s\n",
                options.mud ? "-server -mud (one shared world)"
                            : "-server (a world per connection)",
                web ? ", WebSocket clients" : ", telnet clients", adventureName.c_str(),
                options.spread ? ", spread" : "", prepared ? ", players prepared" : "");
    std::replace(raised.begin(), raised.end(), '\n', ' ');
    raised.pop_back(); // the last line end
    std::printf("settings raised      %s\n", raised.c_str());
    std::printf("connections held    %6d of %d\n", loggedIn, options.connections);
    std::printf("active clients      %6d\n", options.active);
    std::printf("commands            %6ld in %.1f s\n", commands, seconds);
    std::printf("commands per second %8.0f\n", seconds > 0 ? commands / seconds : 0.0);
    std::printf("latency p50         %8.2f ms\n", percentile(latencies, 0.50));
    std::printf("latency p90         %8.2f ms\n", percentile(latencies, 0.90));
    std::printf("latency p99         %8.2f ms\n", percentile(latencies, 0.99));
    std::printf("latency max         %8.2f ms\n", percentile(latencies, 1.0));
    // A talk is two lines, each answered: the question, then the prompt.
    std::printf("answer p50/p99      %8.2f / %.2f ms (each line to its answer)\n",
                percentile(answers, 0.50), percentile(answers, 0.99));
    if (!killed) {
        std::printf("errors              %6d\n", errors);
        std::printf("server RSS          %8.1f MiB (peak %.1f MiB)\n", rssAfter / 1024.0,
                    peak / 1024.0);
        std::printf("RSS per connection  %8.1f KiB\n",
                    loggedIn > 0 ? static_cast<double>(rssAfter - rssBefore) / loggedIn : 0.0);
        std::printf("RSS every 10 s      ");
        for (long kib : rssSeries)
            std::printf(" %.1f", kib / 1024.0);
        std::printf(" MiB\n");
    }

    if (!options.mud) {
        ::kill(server, SIGKILL);
        ::waitpid(server, nullptr, 0);
    } else if (!killed) {
        double lifetime = since(serverStart);
        auto [stop, status] = stopServer(server);
        auto [checkpoints, syncs] = checkpointsLogged(dir);
        std::printf("stop on SIGTERM     %8.2f s, exit status %d\n", stop, status);
        std::printf("checkpoints         %6d in %.1f s, the last at the stop (every %d s)\n",
                    checkpoints, lifetime, options.checkpoint);
        std::printf("journal syncs       %8.0f per second (%.1f commands each)\n", syncs / lifetime,
                    syncs > 0 ? static_cast<double>(commands) / syncs : 0.0);
        if (followed)
            std::printf("players not where their client left them, after the stop %d\n",
                        playersLost(dir, bots));
        auto [state, written] = stateAtTheStop(dir, false);
        std::printf("state at the stop   %8.1f MiB, a checkpoint of it %.0f ms", state, written);
        // A flag per pair met grows with the square of the players: past a
        // few thousand it would take the machine's memory.
        if (options.connections <= 2000) {
            auto [flags, flagsWritten] = stateAtTheStop(dir, true);
            std::printf(" (with a flag of its own for every player met: %.1f MiB, %.0f ms)", flags,
                        flagsWritten);
        }
        std::printf("\n");
    } else {
        std::printf("killed after        %8.2f s of load, journal %.1f MiB\n", seconds,
                    mib(dir / (adventureName + ".gcontext.journal")));
        std::printf("players not where their client left them, after the kill %d\n",
                    playersLost(dir, bots));
        auto again = Clock::now();
        server = startServer(dir, true);
        std::printf("restart             %8.2f s to listen again\n", awaitListening(port, again));
        stopServer(server);
        growWorld(dir, options.world, 64ull << 20);
        double checkpoint = mib(dir / (adventureName + ".gcontext"));
        double journal = mib(dir / (adventureName + ".gcontext.journal"));
        again = Clock::now();
        server = startServer(dir, true);
        double listening = awaitListening(port, again);
        long grown = rssKiB(server, "VmRSS:");
        std::printf("restart of %d players (checkpoint %.0f MiB, journal %.0f MiB): %.2f s, "
                    "RSS %.0f MiB\n",
                    options.world, checkpoint, journal, listening, grown / 1024.0);
        auto [stop, status] = stopServer(server);
        std::printf("its stop on SIGTERM %8.2f s, exit status %d\n", stop, status);
    }
    for (auto& bot : bots)
        ::close(bot.fd);
    fs::remove_all(dir);
    return 0;
}
