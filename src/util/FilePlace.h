#pragma once

#include <string>

namespace zanfir {

// A place in an adventure's definition files: the file, its line (0: the
// file as a whole), the section and the variable there, each empty when
// there is none.
struct FilePlace {
    std::string file;
    int line = 0;
    std::string section;
    std::string variable;

    bool known() const { return !file.empty(); }
    // FILE:LINE [SECTION] VARIABLE, without what is not known.
    std::string toString() const {
        std::string text = file;
        if (line > 0)
            text += ":" + std::to_string(line);
        if (!section.empty())
            text += " [" + section + "]";
        if (!variable.empty())
            text += " " + variable;
        return text;
    }
};

} // namespace zanfir
