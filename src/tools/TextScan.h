#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zanfir {

// Reads a text of the adventure as the parser will, for what an author
// writes that the parser reads otherwise.
class TextScan {
public:
    // Of each "else" an if swallows in the blocks of a text (found as a
    // description finds them), its command up to the "else". The branch of
    // an if runs to the next ";" or block: an "else" written in it without
    // a ";" before is a part of that command (a text to print, a value...),
    // and never runs as an else.
    static std::vector<std::string> swallowed(const std::string& source);
    // Whether a "}" closes no block: the text prints it.
    static bool strayBrace(const std::string& source);
    // The two commands a ";" inside a quoted text cuts it into (the parser
    // ends a command at every ";"), when it does.
    static std::optional<std::pair<std::string, std::string>> cutText(const std::string& source);
    // The command a command is read as because of how it starts ("end",
    // "print"...) or what it holds ("goto"), when it is one of those: a
    // variable named ENDLETTO makes "ENDLETTO = true" an "end".
    static std::optional<std::string> keywordOf(const std::string& command);
    // The commands of the blocks of a text read as a keyword, each with it.
    static std::vector<std::pair<std::string, std::string>> misread(const std::string& source);

private:
    // The commands of the blocks of a text, cut where the parser cuts them
    // (at every ";" and brace), quotes or not.
    static std::vector<std::string> commandsOf(const std::string& source);
    // A text as the parser reads it.
    static void scan(const std::string& text, std::vector<std::string>& found);
    // Where the word "else" stands in a command, outside quotes and blocks
    // and not first; npos where it does not.
    static std::size_t elseWord(const std::string& command);
};

} // namespace zanfir
