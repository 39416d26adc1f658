#pragma once

#include <string>
#include <vector>

namespace zanfir {

// Finds the "else" an if swallows. The branch of an if runs to the next
// ";" or block: an "else" written in it without a ";" before is a part of
// that command (a text to print, a value...), and never runs as an else.
class ElseScan {
public:
    // Of each swallowed "else" in the blocks of a text (found as a
    // description finds them), its command up to the "else".
    static std::vector<std::string> swallowed(const std::string& source);

private:
    // A text as the parser reads it.
    static void scan(const std::string& text, std::vector<std::string>& found);
    // Where the word "else" stands in a command, outside quotes and blocks
    // and not first; npos where it does not.
    static std::size_t elseWord(const std::string& command);
};

} // namespace zanfir
