#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/Checker.h"

namespace zanfir {

// The players' variables as an adventure's texts use them, told as the
// texts are walked and checked once all of them are: a variable read but
// set nowhere, and comparisons that stop the game when they run (a number
// on the left of one that is not, a text compared with a variable that
// only ever holds numbers).
class VariableCheck {
public:
    // The player's variable a name of the action language stands for; empty
    // for a path of the state (USER.LOCATION, GLOBAL.ITEMS...).
    static std::string variableOf(const std::string& name);

    void read(const std::string& name, const Checker::Where& where);
    // Set to a number (also by ++, --, random) or to something else.
    void set(const std::string& name, bool number, const Checker::Where& where);
    // The two sides of a comparison, as written (upper-cased).
    void compare(const std::string& left, const std::string& right, const Checker::Where& where);
    // Whether a text reads or sets it.
    bool isUsed(const std::string& variable) const;

    std::vector<Checker::Finding> check() const;

private:
    std::map<std::string, Checker::Where> _set; // where each is first set
    std::map<std::string, bool> _numeric;       // set to numbers only
    std::vector<std::pair<std::string, Checker::Where>> _read;
    struct Comparison {
        std::string left, right;
        Checker::Where where;
    };
    std::vector<Comparison> _comparisons;
};

} // namespace zanfir
