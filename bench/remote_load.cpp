// Load benchmark of the server: starts build/zanfir on a copy of the bundled
// adventure, holds many loopback connections and drives some of them as fast
// as their prompts come back. Prints the figures; never fails on speed.
//
//   bench_remote [--connections N] [--active N] [--seconds S] [--no-mud]
//
// ZANFIR_BIN in the environment names another build of the program to run.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
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
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int connections = 1000;
    int active = 100;
    double seconds = 10;
    bool mud = true;
};

// One simulated player.
struct Bot {
    int fd = -1;
    std::string name;
    std::string pending;
    enum Step { Name, Password, Again, Playing, Waiting, Done } step = Name;
    bool active = false;
    int next = 0; // index into the command cycle
    std::string location = "PRATO";
    Clock::time_point sent;
};

// The command cycle of an active player, between the hall and the cellar of
// the bundled adventure, and where each command leaves the player.
const std::vector<std::pair<std::string, std::string>> CYCLE = {
    {"scendi", "CANTINA"}, {"guarda", ""},
    {"sali", "INGRESSO"},  {"prendi fiammiferi", ""},
    {"cosa", ""},          {"lascia fiammiferi", ""},
    {"parla", ""},         {"guarda fiammiferi", ""},
};

long rssKiB(int pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
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

int connectTo(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    for (int attempt = 0; attempt < 500; ++attempt) {
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

void sendLine(Bot& bot, const std::string& line) {
    std::string bytes = line + "\r\n";
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(bot.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EAGAIN)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        else
            return;
    }
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (arg == "--connections")
            options.connections = std::stoi(value());
        else if (arg == "--active")
            options.active = std::stoi(value());
        else if (arg == "--seconds")
            options.seconds = std::stod(value());
        else if (arg == "--no-mud")
            options.mud = false;
        else {
            std::cerr << "usage: bench_remote [--connections N] [--active N] [--seconds S] "
                         "[--no-mud]\n";
            return 2;
        }
    }
    options.active = std::min(options.active, options.connections);
    ::signal(SIGPIPE, SIG_IGN);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    // A copy of the bundled adventure on a free port, without the log's
    // file writes mattering to the figures (the log stays on, as it must).
    fs::path dir = fs::temp_directory_path() / ("zanfir-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::copy(fs::path(ZANFIR_SOURCE_DIR) / "adventures" / "torre", dir,
             fs::copy_options::recursive);
    int port = freePort();
    {
        // The last definition of a setting wins.
        std::ifstream in(dir / "torre.zanfa");
        std::stringstream text;
        text << in.rdbuf();
        std::string main = text.str();
        auto settings = main.find("\n[");
        main.insert(settings == std::string::npos ? main.size() : settings + 1,
                    "RemotePort=" + std::to_string(port) + "\n");
        std::ofstream(dir / "torre.zanfa") << main;
    }
    pid_t server = ::fork();
    if (server == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        std::string file = (dir / "torre.zanfa").string();
        // ZANFIR_BIN in the environment runs another build (a profiling one).
        const char* binary = std::getenv("ZANFIR_BIN") ? std::getenv("ZANFIR_BIN") : ZANFIR_BIN;
        std::vector<const char*> args{binary, file.c_str(), "-server"};
        if (options.mud)
            args.push_back("-mud");
        args.push_back(nullptr);
        ::execv(binary, const_cast<char* const*>(args.data()));
        ::_exit(127);
    }

    int epoll = ::epoll_create1(0);
    std::vector<Bot> bots(static_cast<std::size_t>(options.connections));
    int probe = connectTo(port); // wait until the server listens
    if (probe < 0) {
        std::cerr << "the server does not listen on port " << port << "\n";
        ::kill(server, SIGKILL);
        return 1;
    }
    ::close(probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    long rssBefore = rssKiB(server, "VmRSS:");

    auto start = Clock::now();
    for (int i = 0; i < options.connections; ++i) {
        Bot& bot = bots[static_cast<std::size_t>(i)];
        bot.name = "Bot" + std::to_string(i);
        bot.active = i < options.active;
        bot.fd = connectTo(port);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<std::uint32_t>(i);
        ::epoll_ctl(epoll, EPOLL_CTL_ADD, bot.fd, &event);
    }

    int errors = 0, loggedIn = 0;
    long commands = 0;
    std::vector<double> latencies;
    Clock::time_point driveStart{}, driveEnd{};
    bool driving = false, stopping = false;
    auto issue = [&](Bot& bot) {
        const auto& [command, place] = CYCLE[static_cast<std::size_t>(bot.next)];
        if (!place.empty())
            bot.location = place;
        bot.next = (bot.next + 1) % static_cast<int>(CYCLE.size());
        bot.step = Bot::Waiting;
        bot.sent = Clock::now();
        sendLine(bot, command);
    };
    auto deadline = start + std::chrono::seconds(120);
    int waiting = options.active;
    std::vector<epoll_event> events(256);
    while (Clock::now() < deadline) {
        if (!driving && loggedIn == options.connections) {
            driving = true;
            driveStart = Clock::now();
            std::cerr << "all " << loggedIn << " logged in after "
                      << std::chrono::duration<double>(driveStart - start).count() << " s\n";
            for (auto& bot : bots)
                if (bot.active) {
                    bot.location = "INGRESSO";
                    bot.step = Bot::Waiting;
                    bot.sent = Clock::now();
                    sendLine(bot, "nord");
                }
        }
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
                bot.pending.append(buffer, static_cast<std::size_t>(got));
            if (got == 0) {
                ++errors;
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, bot.fd, nullptr);
                bot.step = Bot::Done;
                continue;
            }
            auto take = [&](const char* marker) {
                auto at = bot.pending.find(marker);
                if (at == std::string::npos)
                    return false;
                bot.pending.erase(0, at + std::strlen(marker));
                return true;
            };
            for (bool progress = true; progress;) {
                progress = false;
                if (bot.step == Bot::Name && take("nome? ")) {
                    sendLine(bot, bot.name);
                    bot.step = options.mud ? Bot::Password : Bot::Playing;
                    progress = true;
                } else if (bot.step == Bot::Password && take("password? ")) {
                    sendLine(bot, "segreto");
                    bot.step = Bot::Again;
                    progress = true;
                } else if (bot.step == Bot::Again && take("favore: ")) {
                    sendLine(bot, "segreto");
                    bot.step = Bot::Playing;
                    progress = true;
                } else if (bot.step == Bot::Playing && take("Cosa devo fare? ")) {
                    ++loggedIn;
                    bot.step = Bot::Done;
                    bot.pending.clear();
                } else if (bot.step == Bot::Waiting && take("Cosa devo dire? ")) {
                    sendLine(bot, "ciao a tutti");
                    progress = true;
                } else if (bot.step == Bot::Waiting && take("Cosa devo fare? ")) {
                    bot.pending.clear();
                    if (driveEnd == Clock::time_point{} || !stopping) {
                        latencies.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - bot.sent)
                                .count());
                        ++commands;
                    }
                    if (stopping) {
                        bot.step = Bot::Done;
                        --waiting;
                    } else {
                        issue(bot);
                    }
                }
            }
        }
    }
    if (driveEnd == Clock::time_point{})
        driveEnd = Clock::now();
    double seconds = std::chrono::duration<double>(driveEnd - driveStart).count();
    if (waiting > 0)
        errors += waiting;
    long rssAfter = rssKiB(server, "VmRSS:");
    long peak = rssKiB(server, "VmHWM:");

    // Lost state: every active player is where its client put it. The state
    // is saved at the next moment all sessions wait, which is now.
    int lost = -1;
    if (options.mud) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lost = 0;
        try {
            nlohmann::json state;
            std::ifstream(dir / "torre.gcontext") >> state;
            std::map<std::string, std::string> where;
            for (auto& [id, user] : state["context"]["USER"].items())
                where[user.value("NAME", "")] = user.value("LOCATION", "");
            for (const auto& bot : bots)
                if (where[bot.name] != bot.location)
                    ++lost;
        } catch (const std::exception& error) {
            std::cerr << "state file: " << error.what() << "\n";
            lost = options.connections;
        }
    }

    std::printf("mode                 %s\n", options.mud ? "-server -mud (one shared world)"
                                                         : "-server (a world per connection)");
    std::printf("connections held    %6d of %d\n", loggedIn, options.connections);
    std::printf("active clients      %6d\n", options.active);
    std::printf("commands            %6ld in %.1f s\n", commands, seconds);
    std::printf("commands per second %8.0f\n", seconds > 0 ? commands / seconds : 0.0);
    std::printf("latency p50         %8.2f ms\n", percentile(latencies, 0.50));
    std::printf("latency p90         %8.2f ms\n", percentile(latencies, 0.90));
    std::printf("latency p99         %8.2f ms\n", percentile(latencies, 0.99));
    std::printf("latency max         %8.2f ms\n", percentile(latencies, 1.0));
    std::printf("errors              %6d\n", errors);
    if (lost >= 0)
        std::printf("players not where their client left them %d\n", lost);
    std::printf("server RSS          %8.1f MiB (peak %.1f MiB)\n", rssAfter / 1024.0,
                peak / 1024.0);
    std::printf("RSS per connection  %8.1f KiB\n",
                loggedIn > 0 ? static_cast<double>(rssAfter - rssBefore) / loggedIn : 0.0);

    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    for (auto& bot : bots)
        ::close(bot.fd);
    fs::remove_all(dir);
    return 0;
}
