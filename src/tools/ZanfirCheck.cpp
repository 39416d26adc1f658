// zanfir-check: loads an adventure without playing it and reports what
// would go wrong in a game.

#include <filesystem>
#include <iostream>

#include "T.h"
#include "runtime/Errors.h"
#include "tools/Checker.h"
#include "world/Config.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    using namespace zanfir;
    if (argc != 2) {
        std::cerr << T::CheckUsage << '\n';
        return 2;
    }
    fs::path file = argv[1];
    if (file.extension() != ".zanfa")
        file += ".zanfa";
    if (!fs::is_regular_file(file)) {
        std::cerr << T::CheckUsage << '\n';
        return 2;
    }
    std::string name = file.stem().string();
    std::optional<std::string> directory;
    if (file.has_parent_path())
        directory = file.parent_path().string();

    int errors = 0, notes = 0;
    try {
        Checker checker(name, directory);
        for (const auto& finding : checker.check())
            std::cout << (finding.error ? T::CheckError : T::CheckNote) << finding.where << ": "
                      << finding.text << '\n';
        errors = checker.errors();
        notes = checker.notes();
    } catch (const Exception& failure) {
        std::cout << T::CheckError << file.filename().string() << ": " << failure.what() << '\n';
        errors = 1;
    }
    if (errors + notes == 0) {
        std::cout << T::CheckNothingFound << '\n';
    } else {
        std::string summary;
        if (errors)
            summary = errors == 1 ? T::CheckOneError : std::to_string(errors) + T::CheckErrors;
        if (errors && notes)
            summary += ", ";
        if (notes)
            summary += notes == 1 ? T::CheckOneNote : std::to_string(notes) + T::CheckNotes;
        std::cout << summary << '\n';
    }
    return errors ? 1 : 0;
}
