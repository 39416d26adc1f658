#include "tools/SettingsCheck.h"

#include <map>
#include <set>

#include "T.h"
#include "runtime/Settings.h"
#include "tools/Spelling.h"
#include "util/Util.h"
#include "world/Config.h"

namespace zanfir {

namespace {

// The table's settings by their names in capitals, as the file's names are.
const std::map<std::string, const Settings::Entry*>& byName() {
    static const auto names = [] {
        std::map<std::string, const Settings::Entry*> names;
        for (const auto& entry : Settings::table())
            names[Util::toUpper(entry.name)] = &entry;
        return names;
    }();
    return names;
}

} // namespace

bool SettingsCheck::isSetting(const std::string& name) {
    return byName().count(Util::toUpper(name)) > 0;
}

std::vector<Checker::Finding> SettingsCheck::check(const Config& main) {
    std::vector<Checker::Finding> found;
    std::vector<std::string> names;
    for (const auto& [name, entry] : byName())
        names.push_back(name);
    for (const auto& variable : main.variables()) {
        Checker::Where where = Checker::place(main, "", variable);
        auto known = byName().find(Util::toUpper(variable));
        if (known == byName().end()) {
            if (auto meant = Spelling::meant(Util::toUpper(variable), names))
                found.push_back({true, where,
                                 T::CheckSettingMisspelt + std::string(byName().at(*meant)->name) +
                                     T::QuoteEnd});
            else
                found.push_back({false, where, T::CheckSettingUnknown});
            continue;
        }
        const Settings::Entry& entry = *known->second;
        std::string value = main.get(variable);
        if (entry.kind == Settings::Entry::Kind::NUMBER && Util::trim(value).empty())
            continue; // as good as none
        if (auto why = entry.problem(value))
            found.push_back({true, where, *why + T::SettingRefusedX + entry.get(Settings())});
    }
    std::set<std::string> sections(main.sections().begin(), main.sections().end());
    for (const auto& section : sections)
        for (const auto& variable : main.variables(section))
            if (isSetting(variable))
                found.push_back(
                    {true, Checker::place(main, section, variable), T::CheckSettingInSection});
    return found;
}

} // namespace zanfir
