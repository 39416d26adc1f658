// Benchmarks of the program on files: the start of a large generated
// adventure, and the console playing a long piped script. Prints figures.
//
//   bench_files [--locations N] [--items N] [--bindings N] [--messages N] [--commands N]
//
// ZANFIR_BIN in the environment names another build of the program to run;
// the checker is the one built with this benchmark.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    double seconds = 0; // until the marker appeared in the output (or the end)
    double total = 0;   // until the program ended
    long peakKiB = 0;   // the program's peak resident memory
    std::size_t output = 0;
};

const char* binary() {
    return std::getenv("ZANFIR_BIN") ? std::getenv("ZANFIR_BIN") : ZANFIR_BIN;
}

// Runs the program with `input` on standard input (from a file) and its
// output into a file; times it until `marker` shows in the output.
Run run(const fs::path& main, const fs::path& input, const fs::path& output,
        const std::string& marker, const char* program = binary()) {
    auto start = Clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        int in = ::open(input.c_str(), O_RDONLY);
        int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        std::string file = main.string();
        ::execl(program, program, file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Run result;
    bool seen = marker.empty();
    int status = 0;
    rusage usage{};
    for (;;) {
        if (!seen) {
            std::ifstream text(output);
            std::string content((std::istreambuf_iterator<char>(text)), {});
            if (content.find(marker) != std::string::npos) {
                seen = true;
                result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            }
        }
        if (::wait4(child, &status, WNOHANG, &usage) == child)
            break;
        ::usleep(seen ? 2000 : 200);
    }
    result.total = std::chrono::duration<double>(Clock::now() - start).count();
    if (marker.empty())
        result.seconds = result.total;
    result.peakKiB = usage.ru_maxrss;
    result.output = fs::file_size(output);
    return result;
}

// An adventure of the given size: a ring of locations, items spread over
// them, bindings on the items and messages with a block each.
void generate(const fs::path& dir, int locations, int items, int bindings, int messages) {
    std::ofstream main(dir / "grande.zanfa");
    main << "LogPath=\"\"\n[BEGINNING]\nINTRO=Benvenuto.\nLOCATION=L0\n";
    std::ofstream dictionary(dir / "grande.dictionary");
    dictionary << "[IGNORE]\nARTICOLI=il, la, lo\n[VERBS]\nAPRI=spalanca\nUSA=adopera\n[ITEMS]\n";
    for (int i = 0; i < items; ++i)
        dictionary << "O" << i << "=oggetto" << i << "\n";
    std::ofstream inventory(dir / "grande.inventory");
    for (int i = 0; i < items; ++i)
        inventory << "[O" << i << "]\nDESCR=l'oggetto numero " << i
                  << "\nLOOK-DESCR=Un oggetto qualunque, il numero " << i << ".\n";
    std::ofstream map(dir / "grande.map");
    for (int i = 0; i < locations; ++i) {
        map << "[L" << i << "]\nDESCR=nel luogo " << i << "\nLONG-DESCR=Il luogo numero " << i
            << ", uguale a tutti gli altri.\nNORTH=L" << (i + 1) % locations << "\nSOUTH=L"
            << (i + locations - 1) % locations << "\nITEMS=";
        for (int k = i; k < items; k += locations)
            map << (k == i ? "" : ", ") << "o" << k;
        map << "\n";
    }
    std::ofstream actions(dir / "grande.actionset");
    actions << "[ACTIONS]\n";
    for (int i = 0; i < bindings; ++i)
        actions << "*:" << (i % 2 ? "APRI" : "USA") << ":O" << i << "={CONTA++; if (CONTA > 10) M"
                << i % std::max(messages, 1) << ".print; else println 'Fatto ' + CONTA}\n";
    actions << "[MESSAGES]\n";
    for (int i = 0; i < messages; ++i)
        actions << "M" << i << "=Il messaggio " << i << " {X" << i << " = 1}\n";
    actions << "[EVENTS]\nLOCATION-ENTER:*=\n";
}

} // namespace

int main(int argc, char** argv) {
    int locations = 10000, items = 20000, bindings = 5000, messages = 2000, commands = 100000;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        int value = std::atoi(argv[i + 1]);
        if (arg == "--locations")
            locations = value;
        else if (arg == "--items")
            items = value;
        else if (arg == "--bindings")
            bindings = value;
        else if (arg == "--messages")
            messages = value;
        else if (arg == "--commands")
            commands = value;
    }
    fs::path dir = fs::temp_directory_path() / ("zanfir-files-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    // 1. Start of a large adventure: time until the first question.
    generate(dir, locations, items, bindings, messages);
    std::ofstream(dir / "empty.txt");
    Run start =
        run(dir / "grande.zanfa", dir / "empty.txt", dir / "out.txt", "Qual'e' il tuo nome? ");
    std::printf("large adventure      %d locations, %d items, %d bindings, %d messages\n",
                locations, items, bindings, messages);
    std::printf("time to first prompt %8.3f s (target below 1 s)\n", start.seconds);
    std::printf("peak memory          %8.1f MiB (target below 200 MiB)\n", start.peakKiB / 1024.0);

    // 2. The checker on the same adventure.
    Run check =
        run(dir / "grande.zanfa", dir / "empty.txt", dir / "check.txt", "", ZANFIR_CHECK_BIN);
    std::ifstream findings(dir / "check.txt");
    std::string last;
    for (std::string line; std::getline(findings, line);)
        last = line;
    std::printf("zanfir-check         %8.3f s, peak memory %.1f MiB: %s\n", check.total,
                check.peakKiB / 1024.0, last.c_str());

    // 3. The console playing a long script: a cycle of commands after the name.
    auto playConsole = [&](const std::string& adventure, const std::vector<std::string>& cycle,
                           const char* label, const char* outputLabel, int target) {
        fs::copy(fs::path(ZANFIR_SOURCE_DIR) / "adventures" / adventure, dir / adventure,
                 fs::copy_options::recursive);
        fs::path script = dir / (adventure + ".txt");
        {
            std::ofstream lines(script);
            lines << "Anna\n";
            for (int i = 0; i < commands; ++i)
                lines << cycle[static_cast<std::size_t>(i) % cycle.size()] << "\n";
        }
        Run play = run(dir / adventure / (adventure + ".zanfa"), script,
                       dir / (adventure + "-out.txt"), "");
        std::printf("%-20s %d in %.2f s: %.0f per second (target at least %d)\n", label, commands,
                    play.total, commands / play.total, target);
        std::printf("%-20s %.1f MiB, peak memory %.1f MiB\n", outputLabel, play.output / 1048576.0,
                    play.peakKiB / 1024.0);
    };
    playConsole("torre",
                {"nord", "guarda", "prendi fiammiferi", "cosa", "lascia fiammiferi", "sud", "est",
                 "guarda foglie", "ovest", "leggi mappa"},
                "console commands", "console output", 20000);
    // 4. The bundled game: moves, looks and talk around the square.
    playConsole("miniera",
                {"guarda", "est", "guarda", "parla", "ovest", "nord", "guarda", "sud", "sud",
                 "cosa", "nord", "ovest", "guarda", "parla", "est"},
                "bundled game", "its output", 100000);
    fs::remove_all(dir);
    return 0;
}
