#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zanfir {

class Context;

// Text helpers shared by the whole program. Strings hold bytes; where a
// character count matters (columns, capitalisation), a character is one
// UTF-8 sequence.
class Util {
public:
    static constexpr char QUOTE = '\'';

    // Case conversion: ASCII letters and the accented Latin letters of UTF-8.
    static std::string toUpper(std::string_view text);
    // Whether toUpper would leave the text as it is.
    static bool isUpper(std::string_view text);
    // Whether toUpper(trim(text)) would leave the text as it is.
    static bool isTrimmedUpper(std::string_view text);
    static std::string toLower(std::string_view text);
    static bool equalsIgnoreCase(std::string_view a, std::string_view b);
    static bool isSpace(char c);
    // Removes every byte <= 0x20 from both ends.
    static std::string trim(std::string_view text);
    static std::vector<std::string> split(std::string_view text);
    // The parts of a text between the separators, empty ones included.
    static std::vector<std::string> split(std::string_view text, char separator);
    // A signed 32-bit decimal integer with nothing around it; throws
    // NumberFormatException otherwise.
    static std::int32_t parseInt(std::string_view text);
    // Number of characters (UTF-8 sequences) in the text.
    static std::size_t length(std::string_view text);
    static bool isUtf8(std::string_view text);
    // The text with each run of bytes that is no UTF-8 letter (the longest
    // that begins one, or a single byte) replaced by U+FFFD.
    static std::string repairUtf8(std::string_view text);
    // Text a player typed, fit for other players' screens and the log:
    // without control characters but the line end (C0, DEL and C1; a tab
    // becomes a blank) and without the escape sequences they begin. In text
    // that is no UTF-8 the bytes 0x80 to 0x9F are C1.
    static std::string cleanText(std::string_view text);
    // The text cut to at most `most` bytes (never inside a character),
    // marked as cut when it was.
    static std::string clip(std::string_view text, std::size_t most);

    // Wraps each line of the text so that no row holds more than width - 1
    // characters, the first row starting at `column`; lines end with CR LF
    // or LF as chosen, whatever they ended with.
    static std::string wordWrap(const std::string& text, bool crlf, int width, int column = 0);
    // What wordWrap makes of one line without its line end, appended to
    // `out`: its general path, which it spares a line that plainly fits.
    static void wrapLine(std::string& out, std::string_view text, bool crlf, int width, int column);
    // The text with every line end made CR LF or LF.
    static std::string lineEnds(const std::string& text, bool crlf);

    static std::optional<std::string> replace(std::string_view text, std::string_view from,
                                              std::string_view to);
    static std::string capitalize(std::string_view text);
    static bool stringIsString(std::string_view text);
    static bool stringIsBoolean(std::string_view text);
    static bool stringIsInteger(std::string_view text);
    static long matchBracket(std::string_view text, std::size_t index);

    // The tree as indented lines, each value's type aligned to the width.
    static void contextDump(const Context& context, std::ostream& stream, int width);
};

} // namespace zanfir
