// zanfir-check: loads an adventure without playing it and reports what
// would go wrong in a game.

#include <filesystem>
#include <iostream>

#include "T.h"
#include "runtime/Errors.h"
#include "tools/Checker.h"
#include "world/Config.h"

namespace fs = std::filesystem;

namespace {

// As compilers tell theirs: FILE:LINE: errore: [SECTION] VARIABLE: text.
std::string format(const zanfir::Checker::Finding& finding) {
    using namespace zanfir;
    const FilePlace& where = finding.where;
    std::string text = where.file;
    if (where.line > 0)
        text += ":" + std::to_string(where.line);
    text += std::string(": ") + (finding.error ? T::CheckError : T::CheckWarning);
    std::string context = where.section.empty() ? "" : "[" + where.section + "]";
    if (!where.variable.empty())
        context += (context.empty() ? "" : " ") + where.variable;
    return text + (context.empty() ? "" : context + ": ") + finding.text;
}

} // namespace

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

    int errors = 0, warnings = 0;
    try {
        Checker checker(name, directory);
        for (const auto& finding : checker.check())
            std::cout << format(finding) << '\n';
        errors = checker.errors();
        warnings = checker.warnings();
    } catch (const Exception& failure) {
        Checker::Where where = failure.place();
        if (!where.known())
            where.file = file.filename().string();
        std::cout << format({true, where, failure.what()}) << '\n';
        errors = 1;
    }
    if (errors + warnings == 0) {
        std::cout << T::CheckNothingFound << '\n';
    } else {
        std::string summary;
        if (errors)
            summary = errors == 1 ? T::CheckOneError : std::to_string(errors) + T::CheckErrors;
        if (errors && warnings)
            summary += ", ";
        if (warnings)
            summary +=
                warnings == 1 ? T::CheckOneWarning : std::to_string(warnings) + T::CheckWarnings;
        std::cout << summary << '\n';
    }
    return errors ? 1 : 0;
}
