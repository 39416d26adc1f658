#include "tools/VariableCheck.h"

#include <set>
#include <tuple>

#include "T.h"
#include "tools/Spelling.h"
#include "util/Util.h"

namespace zanfir {

std::string VariableCheck::variableOf(const std::string& name) {
    static const std::string players = "USER.VARIABLES.";
    std::string variable = Util::toUpper(Util::trim(name));
    if (variable.starts_with(players))
        variable.erase(0, players.size());
    variable = variable.substr(0, variable.find('.'));
    return variable == "USER" || variable == "GLOBAL" ? "" : variable;
}

void VariableCheck::read(const std::string& name, const Checker::Where& where) {
    if (Util::split(name).size() != 1)
        return; // no name, but a command gone wrong, told elsewhere
    if (auto variable = variableOf(name); !variable.empty())
        _read.emplace_back(variable, where);
}

void VariableCheck::set(const std::string& name, bool number, const Checker::Where& where) {
    auto variable = variableOf(name);
    if (variable.empty())
        return;
    _set.try_emplace(variable, where);
    auto [at, added] = _numeric.try_emplace(variable, number);
    at->second = at->second && number;
}

void VariableCheck::compare(const std::string& left, const std::string& right,
                            const Checker::Where& where) {
    _comparisons.push_back({Util::trim(left), Util::trim(right), where});
}

bool VariableCheck::isUsed(const std::string& variable) const {
    if (_set.count(variable))
        return true;
    for (const auto& [name, where] : _read)
        if (name == variable)
            return true;
    return false;
}

std::vector<Checker::Finding> VariableCheck::check() const {
    std::vector<Checker::Finding> found;
    std::vector<std::string> known;
    for (const auto& [name, where] : _set)
        known.push_back(name);
    std::set<std::tuple<std::string, std::string, int, std::string>> told;
    for (const auto& [name, where] : _read) {
        if (_set.count(name) || !told.emplace(name, where.file, where.line, where.variable).second)
            continue;
        std::string text = T::CheckVariableNeverSet + name + T::QuoteEnd;
        if (auto meant = Spelling::meant(name, known))
            text += T::CheckPerhaps + *meant + T::QuoteEnd;
        found.push_back({true, where, text});
    }
    for (const auto& [left, right, where] : _comparisons) {
        if (Util::stringIsInteger(left) && !Util::stringIsInteger(right)) {
            found.push_back({true, where,
                             T::CheckNumberOnLeft + left + T::CheckNumberOnLeftX + right +
                                 T::CheckNumberOnLeftXX});
            continue;
        }
        auto numeric = _numeric.find(variableOf(left));
        if (Util::stringIsString(right) && numeric != _numeric.end() && numeric->second)
            found.push_back(
                {true, where,
                 T::CheckTextWithNumber + variableOf(left) + T::CheckTextWithNumberX + right});
    }
    return found;
}

} // namespace zanfir
