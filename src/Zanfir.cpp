#include "Zanfir.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <thread>

#include "T.h"
#include "console/Console.h"
#include "engine/Main.h"
#include "net/Remote.h"
#include "runtime/Debug.h"
#include "runtime/Log.h"
#include "util/Util.h"

namespace zanfir {

namespace {

constexpr const char* EXTENSION = ".zanfa";

struct Switches {
    bool server = false, mud = false, debug = false, log = false, dump = false;
};

#ifdef ZANFIR_COVERAGE
extern "C" void __gcov_dump();
#endif

// Ends the process at once, without destructors: sessions may still run on
// detached threads. A coverage build writes its counts first, which the
// normal end of a program would.
[[noreturn]] void endNow(int status) {
#ifdef ZANFIR_COVERAGE
    __gcov_dump();
#endif
    std::_Exit(status);
}

// A server stops cleanly at SIGTERM, SIGINT or SIGHUP; a second one ends it
// at once. The signals are taken by a thread of their own: every other
// thread, made later, inherits the mask that blocks them.
void stopOnSignals(Main& engine) {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([&engine, stops] {
        for (int signal = 0;;) {
            if (sigwait(&stops, &signal) != 0)
                continue;
            if (engine.isStopping())
                endNow(1);
            std::thread([&engine] { engine.stop(); }).detach();
        }
    }).detach();
}

bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

} // namespace

int Zanfir::main(const std::vector<std::string>& args) {
    std::cout << T::Banner << '\n' << T::Banner2 << "\n\n" << std::flush;

    bool valid = !args.empty();
    Switches on;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string word = Util::toLower(args[i]);
        if (word == "-server")
            on.server = true;
        else if (word == "-mud")
            on.mud = true;
        else if (word == "-debug")
            on.debug = true;
        else if (word == "-log")
            on.log = true;
        else if (word == "-dump")
            on.dump = true;
        else
            valid = false;
    }

    std::string name;
    std::optional<std::string> directory;
    if (valid) {
        std::string path = args[0];
        if (Util::toLower(path).find(EXTENSION) == std::string::npos)
            path += EXTENSION;
        auto slash = path.rfind('/');
        std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        auto cut = Util::toLower(file).find(EXTENSION);
        // The name comes from the file's own name, never from a directory.
        valid = isFile(path) && cut != std::string::npos;
        if (valid) {
            name = file.substr(0, cut);
            if (slash != std::string::npos) {
                auto end = path.find_last_not_of('/', slash);
                directory = end == std::string::npos ? "/" : path.substr(0, end + 1);
            }
        }
    }
    if (!valid) {
        std::cout << T::Help << std::endl;
        return 2;
    }

    try {
        // Never deleted: sessions may still run when start() returns.
        auto* engine = new Main(name, directory, !on.server, on.server, on.server && on.mud);
        for (const auto& problem : engine->settingProblems())
            std::cerr << problem << std::endl;
        std::shared_ptr<Console> console;
        if (on.server) {
            engine->setFrontEnd(std::make_shared<Remote>(*engine, engine->settings()));
            stopOnSignals(*engine);
        } else {
            console = std::make_shared<Console>(*engine, engine->settings());
            engine->setFrontEnd(console);
        }
        engine->setDebugEnabled(on.debug);
        engine->setLogEnabled(on.server || on.log);
        engine->setDumpEnabled(on.server && on.mud && on.dump);
        engine->start();
        // The session has logged its failure; the player is told it too.
        if (std::string failure = console ? console->failure() : ""; !failure.empty()) {
            std::cerr << failure << std::endl;
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << Log::describeWithPlace(error) << std::endl;
        Log::writeG("Zanfir main", Log::FAIL, error);
        Debug::traceStackG(error);
        return 1;
    }
    return 0;
}

} // namespace zanfir

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // A server holds a socket per player: allow as many files as the
    // system lets this process have.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    int status = zanfir::Zanfir::main(std::vector<std::string>(argv + 1, argv + argc));
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    zanfir::endNow(status);
}
