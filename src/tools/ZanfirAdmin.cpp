// zanfir-admin: looks after the players of a shared world while its server
// is stopped.

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "T.h"
#include "runtime/Errors.h"
#include "tools/Admin.h"
#include "util/Util.h"

namespace fs = std::filesystem;

namespace {

using zanfir::T;

// One line of standard input, not echoed on a terminal.
std::string readSecret(const std::string& prompt) {
    termios before{};
    bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        std::cout << prompt << std::flush;
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::cout << '\n';
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

} // namespace

int main(int argc, char** argv) {
    using namespace zanfir;
    std::vector<std::string> args(argv + 1, argv + argc);
    bool known = args.size() == 2 && args[1] == "list";
    known |= args.size() == 3 && (args[1] == "reset-password" || args[1] == "remove");
    known |= args.size() == 4 && args[1] == "move";
    fs::path file = args.empty() ? "" : args[0];
    if (file.extension() != ".zanfa")
        file += ".zanfa";
    if (!known || !fs::is_regular_file(file)) {
        std::cerr << T::AdminUsage << '\n';
        return 2;
    }
    std::optional<std::string> directory;
    if (file.has_parent_path())
        directory = file.parent_path().string();

    try {
        Admin admin(file.stem().string(), directory);
        const std::string& command = args[1];
        if (command == "list") {
            auto players = admin.players();
            if (players.empty())
                std::cout << T::AdminNoPlayers << '\n';
            for (const auto& player : players)
                std::cout << player.name << '\t' << player.place << '\t' << joined(player.items)
                          << '\n';
        } else if (command == "reset-password") {
            std::string name = Util::capitalize(Util::trim(args[2]));
            std::string password = readSecret(T::AdminNewPassword + name + ": ");
            if (::isatty(STDIN_FILENO) && readSecret(T::AdminPasswordAgain) != password)
                throw Exception(T::AdminPasswordsDiffer);
            admin.resetPassword(name, password);
            std::cout << T::AdminPasswordSet << name << '\n';
        } else if (command == "remove") {
            auto gone = admin.remove(args[2]);
            std::cout << T::AdminRemoved << gone.name << '\n';
            if (!gone.items.empty())
                std::cout << T::AdminItemsLeft << gone.place << ": " << joined(gone.items) << '\n';
        } else {
            admin.move(args[2], args[3]);
            std::cout << Util::capitalize(Util::trim(args[2])) << T::AdminMoved
                      << Util::toUpper(Util::trim(args[3])) << '\n';
        }
    } catch (const std::exception& failure) {
        std::cerr << T::CheckError << failure.what() << '\n';
        return 1;
    }
    return 0;
}
