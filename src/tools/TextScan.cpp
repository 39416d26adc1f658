#include "tools/TextScan.h"

#include <cctype>

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

std::optional<std::pair<std::string, std::string>> TextScan::cutText(const std::string& source) {
    // The commands of the blocks, cut where the parser cuts them.
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
    auto letter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
    };
    // A text opened and never closed: its quote is the command's last.
    auto opens = [&](const std::string& text) {
        auto at = text.find(Util::QUOTE);
        return at != std::string::npos && (at == 0 || !letter(text[at - 1])) &&
               text.find(Util::QUOTE, at + 1) == std::string::npos;
    };
    // A text closed and never opened: its first quote follows a letter.
    auto closes = [&](const std::string& text) {
        auto at = text.find(Util::QUOTE);
        return at != std::string::npos && at > 0 && letter(text[at - 1]);
    };
    for (std::size_t i = 0; i + 1 < commands.size(); ++i)
        if (opens(commands[i]) && closes(commands[i + 1]))
            return std::pair(commands[i], commands[i + 1]);
    return std::nullopt;
}

std::optional<std::string> TextScan::keywordOf(const std::string& command) {
    const std::string lower = Util::toLower(Util::trim(command));
    for (const char* keyword : {"die", "end", "sleep", "pause", "if", "else", "print"})
        if (lower.starts_with(keyword))
            return keyword;
    if (lower.find("goto") != std::string::npos)
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
