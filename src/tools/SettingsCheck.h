#pragma once

#include <string>
#include <vector>

#include "tools/Checker.h"

namespace zanfir {

class Config;

// The settings of an adventure's main file, held to the settings' table:
// each name one of its settings (or plainly meant for one), each value one
// the setting takes, none written inside a section, where nothing reads it.
class SettingsCheck {
public:
    static std::vector<Checker::Finding> check(const Config& main);
    // Whether the name (in any letter case) is that of a setting.
    static bool isSetting(const std::string& name);
};

} // namespace zanfir
