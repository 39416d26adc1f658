#include "tools/TextScan.h"

#include <cctype>
#include <string_view>

#include "language/ActionParser.h"
#include "language/CommandTable.h"
#include "util/Util.h"

namespace zanfir {

std::vector<std::string> TextScan::swallowed(const std::string& source) {
    std::vector<std::string> found;
    std::size_t end = 0;
    for (std::size_t open;
         (open = source.find(ActionParser::ACTION_BEGIN, end)) != std::string::npos;) {
        long close = Util::matchBracket(source, open);
        if (close < 0)
            break;
        scan(source.substr(open, static_cast<std::size_t>(close) - open + 1), found);
        end = static_cast<std::size_t>(close) + 1;
    }
    return found;
}

void TextScan::scan(const std::string& text, std::vector<std::string>& found) {
    auto commands = CommandTable::split(text);
    if (commands.size() != 1) {
        for (const auto& command : commands)
            scan(command, found);
        return;
    }
    const std::string& command = commands.front();
    const std::string lower = Util::toLower(command);
    if (lower.starts_with("else"))
        return scan(command.substr(4), found);
    if (!lower.starts_with("if"))
        return;
    auto open = command.find('(', 2);
    long close = open == std::string::npos ? -1 : Util::matchBracket(command, open);
    if (close < 0)
        return;
    std::string branch = command.substr(static_cast<std::size_t>(close) + 1);
    auto inner = CommandTable::split(branch);
    if (inner.size() == 1) {
        const std::string first = Util::toLower(inner.front());
        auto at = elseWord(inner.front());
        if (at != std::string::npos && !first.starts_with("if") && !first.starts_with("else"))
            found.push_back(inner.front().substr(0, at + 4));
    }
    scan(branch, found);
}

bool TextScan::strayBrace(const std::string& source) {
    int depth = 0;
    for (char c : source) {
        if (c == ActionParser::ACTION_BEGIN)
            ++depth;
        else if (c == ActionParser::ACTION_END && --depth < 0)
            return true;
    }
    return false;
}

std::vector<std::string> TextScan::commandsOf(const std::string& source) {
    std::vector<std::string> commands;
    std::string command;
    int depth = 0;
    for (char c : source) {
        bool cut = c == ActionParser::ACTION_BEGIN || c == ActionParser::ACTION_END ||
                   (c == ';' && depth > 0);
        if (cut) {
            if (depth > 0)
                commands.push_back(Util::trim(command));
            command.clear();
            depth += c == ActionParser::ACTION_BEGIN ? 1 : c == ActionParser::ACTION_END ? -1 : 0;
        } else if (depth > 0) {
            command += c;
        }
    }
    return commands;
}

std::optional<std::pair<std::string, std::string>> TextScan::cutText(const std::string& source) {
    const auto commands = commandsOf(source);
    auto letter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
    };
    // A quote that opens a text starts the command or follows a blank or
    // an operator; one that ends a text is followed by no letter (a quote
    // between two letters is an apostrophe).
    auto opener = [](const std::string& text, std::size_t at) {
        return at == 0 || std::isspace(static_cast<unsigned char>(text[at - 1])) ||
               std::string_view("+(=,").find(text[at - 1]) != std::string_view::npos;
    };
    auto ender = [&](const std::string& text, std::size_t at) {
        return at + 1 == text.size() || !letter(text[at + 1]);
    };
    // A text opened and not ended.
    auto opens = [&](const std::string& text) {
        auto at = text.find(Util::QUOTE);
        if (at == std::string::npos || !opener(text, at))
            return false;
        for (auto next = text.find(Util::QUOTE, at + 1); next != std::string::npos;
             next = text.find(Util::QUOTE, next + 1))
            if (ender(text, next))
                return false;
        return true;
    };
    // A text ended and not opened: its first quote opens nothing.
    auto closes = [&](const std::string& text) {
        auto at = text.find(Util::QUOTE);
        return at != std::string::npos && !opener(text, at);
    };
    for (std::size_t i = 0; i + 1 < commands.size(); ++i)
        if (opens(commands[i]) && closes(commands[i + 1]))
            return std::pair(commands[i], commands[i + 1]);
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> TextScan::misread(const std::string& source) {
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& command : commandsOf(source))
        if (auto keyword = keywordOf(command))
            found.emplace_back(command, *keyword);
    return found;
}

std::optional<std::string> TextScan::keywordOf(const std::string& command) {
    // The first word, as a name is written: a name longer than a keyword
    // that starts with it (ENDLETTO), or holds "goto" (GOTOMAPPA).
    const std::string lower = Util::toLower(Util::trim(command));
    std::size_t end = 0;
    while (end < lower.size() &&
           (std::isalnum(static_cast<unsigned char>(lower[end])) || lower[end] == '_' ||
            static_cast<unsigned char>(lower[end]) >= 0x80))
        ++end;
    const std::string word = lower.substr(0, end);
    if (word == "println")
        return std::nullopt;
    for (const char* keyword : {"die", "end", "sleep", "pause", "if", "else", "print"})
        if (word.starts_with(keyword) && word != keyword)
            return keyword;
    if (word.find("goto") != std::string::npos && word != "goto")
        return "goto";
    return std::nullopt;
}

std::size_t TextScan::elseWord(const std::string& command) {
    const std::string lower = Util::toLower(command);
    auto inName = [&](std::size_t i) {
        auto c = static_cast<unsigned char>(lower[i]);
        return std::isalnum(c) || c == '_' || c == '.' || c >= 0x80;
    };
    bool quoted = false;
    int depth = 0;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        char c = lower[i];
        if (c == Util::QUOTE)
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == ActionParser::ACTION_BEGIN)
            ++depth;
        else if (c == ActionParser::ACTION_END)
            --depth;
        else if (depth == 0 && i > 0 && lower.compare(i, 4, "else") == 0 && !inName(i - 1) &&
                 (i + 4 == lower.size() || !inName(i + 4)))
            return i;
    }
    return std::string::npos;
}

} // namespace zanfir
