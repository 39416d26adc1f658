// zanfir-script: plays a scripted game against the interpreter at the
// console and reports the first answer that differs from the script.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include <unistd.h>

#include "T.h"
#include "runtime/Errors.h"
#include "tools/GameProcess.h"
#include "tools/Script.h"
#include "util/Util.h"

namespace fs = std::filesystem;

namespace zanfir {

namespace {

constexpr std::chrono::seconds ANSWER_TIMEOUT{30};
const char* const DEFINITION_FILES[] = {".zanfa", ".map", ".dictionary", ".inventory",
                                        ".actionset"};

// A folder of its own for the game, removed at the end: saved games and
// logs of the author's own plays neither change the run nor are changed.
class Workplace {
public:
    explicit Workplace(const fs::path& adventure) {
        std::string pattern = (fs::temp_directory_path() / "zanfir-script-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw Exception(std::string(T::ScriptCantStart) + pattern);
        _path = pattern;
        std::string name = Util::toLower(adventure.stem().string());
        fs::path from = adventure.parent_path().empty() ? "." : adventure.parent_path();
        for (const char* extension : DEFINITION_FILES)
            if (fs::is_regular_file(from / (name + extension)))
                fs::copy_file(from / (name + extension), _path / (name + extension));
        _main = _path / (name + ".zanfa");
    }
    ~Workplace() {
        std::error_code ignored;
        fs::remove_all(_path, ignored);
    }
    Workplace(const Workplace&) = delete;
    Workplace& operator=(const Workplace&) = delete;

    const fs::path& path() const { return _path; }
    const fs::path& main() const { return _main; }

private:
    fs::path _path;
    fs::path _main;
};

// The interpreter: the one given, or the one built beside this program.
std::string interpreter(const std::string& given) {
    if (!given.empty())
        return given;
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && fs::exists(self.parent_path() / "zanfir"))
        return (self.parent_path() / "zanfir").string();
    return "zanfir";
}

std::string quoteLine(const std::string& line) {
    bool special = line == "..." || line.front() == '>' || line.front() == '~' ||
                   line.front() == '#' || line.front() == '\\';
    return special ? "\\" + line : line;
}

void printAnswer(const std::vector<std::string>& lines, std::optional<std::size_t> mark) {
    std::cout << T::ScriptWholeAnswer << '\n';
    if (lines.empty())
        std::cout << T::ScriptEmptyAnswer << '\n';
    for (std::size_t i = 0; i < lines.size(); ++i)
        std::cout << (mark == i ? "  > | " : "    | ") << lines[i] << '\n';
}

void printCommand(const char* label, const Script::Step& step) {
    if (step.command)
        std::cout << label << step.line << "): > " << *step.command << '\n';
}

void report(const std::string& file, const Script::Step& step, const Script::Step* previous,
            const Script::Mismatch& mismatch, const std::vector<std::string>& lines) {
    int line = mismatch.expected ? mismatch.expected->line : step.line;
    std::cout << file << ':' << line << ": "
              << (step.command ? T::ScriptDifferent : T::ScriptDifferentOpening) << '\n';
    printCommand(T::ScriptCommandAt, step);
    if (const auto* expected = mismatch.expected) {
        bool contains = expected->kind == Script::Expectation::Contains;
        std::cout << (contains ? T::ScriptExpectedSomewhere : T::ScriptExpected) << expected->line
                  << "): " << expected->text << '\n';
        if (mismatch.at)
            std::cout << T::ScriptFound << lines[*mismatch.at] << '\n';
        else
            std::cout << (contains ? T::ScriptNowhere : T::ScriptMissing) << '\n';
    } else {
        std::cout << T::ScriptExtraLine << lines[*mismatch.at] << '\n';
    }
    printAnswer(lines, mismatch.at);
    if (previous)
        printCommand(T::ScriptPreviousAt, *previous);
}

int play(const fs::path& adventure, const std::string& scriptFile, const std::string& program,
         bool record) {
    std::ifstream in(scriptFile, std::ios::binary);
    if (!in) {
        std::cerr << T::ScriptCantRead << scriptFile << T::QuoteEnd << '\n';
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    Script script(text.str());
    Workplace place(adventure);
    GameProcess game(program, {place.main().string()}, place.path().string());

    const auto start = std::chrono::steady_clock::now();
    const auto& steps = script.steps();
    bool ended = false;
    std::vector<std::string> lines; // of the last answer
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = steps[i];
        if (step.command) {
            if (ended) {
                std::cout << scriptFile << ':' << step.line << ": " << T::ScriptGameOver << '\n';
                printAnswer(lines, std::nullopt);
                return 1;
            }
            game.send(*step.command);
        }
        auto answer = game.answer(ANSWER_TIMEOUT);
        ended = answer.state == GameProcess::State::Ended;
        lines = Script::answerLines(answer.text);
        if (record) {
            if (step.command)
                std::cout << "> " << *step.command << '\n';
            for (const auto& line : lines)
                std::cout << quoteLine(line) << '\n';
            continue;
        }
        if (answer.state == GameProcess::State::Silent) {
            std::cout << scriptFile << ':' << step.line << ": " << T::ScriptSilent << '\n';
            printAnswer(lines, std::nullopt);
            return 1;
        }
        if (auto mismatch = Script::match(step, lines)) {
            report(scriptFile, step, i > 1 ? &steps[i - 1] : nullptr, *mismatch, lines);
            return 1;
        }
    }
    // A game that ends with an error fails the script, after its last command too.
    if (game.finish(std::chrono::seconds(5)) > 0 && !record) {
        std::cout << scriptFile << ':' << steps.back().line << ": " << T::ScriptGameFailed << '\n';
        printAnswer(lines, std::nullopt);
        return 1;
    }
    if (!record) {
        auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        std::cout << T::ScriptPassed << script.commands() << T::ScriptPassedCommands
                  << (ended ? T::ScriptPassedToTheEnd : "") << " (" << std::fixed
                  << std::setprecision(2) << elapsed.count() << " s)\n";
    }
    return 0;
}

} // namespace

} // namespace zanfir

int main(int argc, char** argv) {
    using namespace zanfir;
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> files;
    std::string program;
    bool record = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-record")
            record = true;
        else if (arg == "-zanfir" && i + 1 < argc)
            program = argv[++i];
        else
            files.push_back(arg);
    }
    if (files.size() != 2) {
        std::cerr << T::ScriptUsage << '\n';
        return 2;
    }
    fs::path adventure = files[0];
    if (adventure.extension() != ".zanfa")
        adventure += ".zanfa";
    if (!fs::is_regular_file(adventure)) {
        std::cerr << T::ScriptNoAdventure << adventure.string() << T::QuoteEnd << '\n';
        return 2;
    }
    try {
        return play(adventure, files[1], interpreter(program), record);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 2;
    }
}
