#include "util/Util.h"

#include <algorithm>
#include <charconv>
#include <iostream>

#include "T.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "state/Context.h"

namespace zanfir {

namespace {

constexpr unsigned char UTF8_LATIN1 = 0xC3;

// The second byte of a lower-case Latin-1 letter after UTF8_LATIN1 (à to þ,
// but not ÷), and of an upper-case one (À to Þ, but not ×).
bool isLowerLatin1(unsigned char second) {
    return second >= 0xA0 && second <= 0xBE && second != 0xB7;
}

bool isUpperLatin1(unsigned char second) {
    return second >= 0x80 && second <= 0x9E && second != 0x97;
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// What trim takes off: blanks and control characters.
bool blank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// Byte offsets of the characters of a text, plus its size at the end.
std::vector<std::size_t> characterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    starts.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!isContinuation(text[i]))
            starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

std::size_t firstCharacterLength(std::string_view text) {
    std::size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && isContinuation(text[n]))
        ++n;
    return n;
}

void dumpEntry(const std::string& name, const Context::Value& value, int level, std::ostream& out,
               int width);

void dumpChildren(const Context& context, int level, std::ostream& out, int width) {
    auto entries = context.entries();
    std::stable_partition(entries.begin(), entries.end(), [](const auto& entry) {
        return !std::holds_alternative<std::shared_ptr<Context>>(entry.second);
    });
    for (const auto& [name, value] : entries)
        dumpEntry(name, value, level, out, width);
}

void dumpEntry(const std::string& name, const Context::Value& value, int level, std::ostream& out,
               int width) {
    for (int i = 0; i < level; ++i)
        out << "  ";
    if (auto nested = std::get_if<std::shared_ptr<Context>>(&value)) {
        out << '[' << name << "]\n";
        dumpChildren(**nested, level + 1, out, width);
        return;
    }
    std::string text, kind;
    if (auto s = std::get_if<std::string>(&value)) {
        text = *s;
        kind = "String";
    } else if (auto i = std::get_if<std::int32_t>(&value)) {
        text = std::to_string(*i);
        kind = "Integer";
    } else {
        text = std::get<bool>(value) ? "true" : "false";
        kind = "Boolean";
    }
    std::string line = name + ": '" + text + "'";
    long pad = std::max(0L, static_cast<long>(width) - 12 - 2L * level -
                                static_cast<long>(Util::length(line)));
    out << line << std::string(static_cast<std::size_t>(pad) + 1, ' ') << '(' << kind << ")\n";
}

} // namespace

bool Util::isUpper(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'a' && c <= 'z')
            return false;
        if (c == UTF8_LATIN1 && i + 1 < text.size() &&
            isLowerLatin1(static_cast<unsigned char>(text[++i])))
            return false;
    }
    return true;
}

std::string Util::toUpper(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        } else if (c == UTF8_LATIN1 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (isLowerLatin1(d))
                out[i + 1] = static_cast<char>(d - 0x20);
            ++i;
        }
    }
    return out;
}

std::string Util::toLower(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == UTF8_LATIN1 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (isUpperLatin1(d))
                out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

bool Util::equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && toUpper(a) == toUpper(b);
}

bool Util::isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool Util::isTrimmedUpper(std::string_view text) {
    return text.empty() || (!blank(text.front()) && !blank(text.back()) && isUpper(text));
}

std::string Util::trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> Util::split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos;
         start = at + 1)
        parts.emplace_back(text.substr(start, at - start));
    parts.emplace_back(text.substr(start));
    return parts;
}

std::vector<std::string> Util::split(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > start)
            words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

std::int32_t Util::parseInt(std::string_view text) {
    std::string_view digits = text;
    bool plus = !digits.empty() && digits.front() == '+';
    if (plus)
        digits.remove_prefix(1);
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || (plus && digits.front() == '-') || error != std::errc() ||
        end != digits.data() + digits.size())
        throw NumberFormatException(std::string(text));
    return value;
}

std::size_t Util::length(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !isContinuation(c); }));
}

std::string Util::wordWrap(const std::string& text, bool crlf, int width, int column) {
    // A line feed of the text ends its row: each line is wrapped on its own,
    // and ends with the chosen line end. A line whose bytes fit in the row
    // fits whatever its characters: it is copied as it is.
    const long rows = std::max(width, 1);
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    for (;;) {
        auto feed = rest.find('\n');
        std::string_view line = rest.substr(0, feed);
        if (feed != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (static_cast<long>(line.size()) + std::clamp(static_cast<long>(column), 0L, rows - 1) <
            rows)
            out += line;
        else
            wrapLine(out, line, crlf, width, column);
        if (feed == std::string_view::npos)
            return out;
        out += crlf ? "\r\n" : "\n";
        rest.remove_prefix(feed + 1);
        column = 0;
    }
}

std::string Util::lineEnds(const std::string& text, bool crlf) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n')
            out += crlf ? "\r\n" : "\n";
        else
            out += text[i];
    }
    return out;
}

void Util::wrapLine(std::string& out, std::string_view text, bool crlf, int width, int column) {
    const long rows = std::max(width, 1);
    const auto at = characterStarts(text);
    const long count = static_cast<long>(at.size()) - 1;
    long col = std::clamp(static_cast<long>(column), 0L, rows - 1);
    if (count + col < rows) {
        out += text;
        return;
    }
    const char* lineBreak = crlf ? "\r\n" : "\n";
    auto piece = [&](long from, long to) { return text.substr(at[from], at[to] - at[from]); };
    long begin = 0;
    while (count - begin + col >= rows) {
        long k = rows - 1 - col;
        long found = -1;
        for (long i = k; i >= 0; --i) {
            char c = text[at[begin + i]];
            if (c == ' ') {
                found = i;
                break;
            }
        }
        if (found >= 0) {
            out += piece(begin, begin + found);
            out += lineBreak;
            begin += found + 1;
        } else if (col == 0) {
            // A word longer than a row is broken hard.
            long cut = std::max(k, 1L);
            out += piece(begin, begin + cut);
            out += lineBreak;
            begin += cut;
        } else {
            out += lineBreak;
        }
        col = 0;
    }
    out += text.substr(at[begin]);
}

std::optional<std::string> Util::replace(std::string_view text, std::string_view from,
                                         std::string_view to) {
    if (text.empty() || from.empty())
        return std::nullopt;
    std::string out;
    std::size_t p = 0;
    for (auto i = text.find(from); i != std::string_view::npos; i = text.find(from, p)) {
        out.append(text.substr(p, i - p));
        out.append(to);
        p = i + from.size();
    }
    out.append(text.substr(p));
    return out;
}

std::string Util::capitalize(std::string_view text) {
    std::string upper = toUpper(trim(text));
    std::size_t first = firstCharacterLength(upper);
    return upper.substr(0, first) + toLower(std::string_view(upper).substr(first));
}

bool Util::stringIsString(std::string_view text) {
    std::string t = trim(text);
    return t.size() >= 2 && t.front() == QUOTE && t.back() == QUOTE;
}

bool Util::stringIsBoolean(std::string_view text) {
    std::string t = toUpper(trim(text));
    return t == "TRUE" || t == "FALSE";
}

bool Util::stringIsInteger(std::string_view text) {
    std::string t = trim(text);
    if (t == "0")
        return true;
    try {
        return parseInt(t) != 0;
    } catch (const NumberFormatException&) {
        return false;
    }
}

long Util::matchBracket(std::string_view text, std::size_t index) {
    char bra = index < text.size() ? text[index] : '\0';
    Debug::assertG((bra == '(') || (bra == '[') || (bra == '{'),
                   "(bra == '(') || (bra == '[') || (bra == '{'))");
    char ket;
    switch (bra) {
    case '(':
        ket = ')';
        break;
    case '[':
        ket = ']';
        break;
    case '{':
        ket = '}';
        break;
    default:
        return -1;
    }
    int depth = 0;
    for (std::size_t i = index; i < text.size(); ++i) {
        if (text[i] == bra)
            ++depth;
        else if (text[i] == ket && --depth == 0)
            return static_cast<long>(i);
    }
    return -1;
}

void Util::contextDump(const Context& context, std::ostream& stream, int width) {
    dumpChildren(context, 0, stream, width);
    stream.flush();
}

namespace {

// The bytes of the UTF-8 sequence at `i`: its length when it is whole and
// well formed, else minus the bytes that begin it as one could (at least 1).
int sequenceAt(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else {
        return -1;
    }
    std::size_t k = 1;
    for (; k < len && i + k < s.size(); ++k) {
        auto d = static_cast<unsigned char>(s[i + k]);
        if (k == 1 ? d < lo || d > hi : (d & 0xC0) != 0x80)
            break;
    }
    return k == len ? static_cast<int>(len) : -static_cast<int>(k);
}

} // namespace

bool Util::isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        int len = sequenceAt(s, i);
        if (len < 0)
            return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

std::string Util::repairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        int len = sequenceAt(s, i);
        if (len > 0)
            out.append(s.substr(i, static_cast<std::size_t>(len)));
        else
            out += "\xEF\xBF\xBD"; // U+FFFD for the bytes that began no letter
        i += static_cast<std::size_t>(len > 0 ? len : -len);
    }
    return out;
}

namespace {

// Where the escape sequence at `at` (an ESC) ends: a control sequence
// (ESC [ ... final byte), a string (ESC ] P X ^ _ ... up to BEL or ESC \),
// or ESC with its intermediate bytes and final byte.
std::size_t escapeEnd(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    auto more = [&] { return i < text.size() && text[i] != '\n'; }; // a line end stays
    if (!more())
        return i;
    char kind = text[i++];
    if (kind == '[') {
        while (more() && !(text[i] >= 0x40 && text[i] <= 0x7E))
            ++i;
        return more() ? i + 1 : i;
    }
    if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
        for (; more(); ++i) {
            if (text[i] == '\a')
                return i + 1;
            if (text[i] == '\x1B' && i + 1 < text.size() && text[i + 1] == '\\')
                return i + 2;
        }
        return i;
    }
    while (kind >= 0x20 && kind <= 0x2F && more()) // intermediate bytes, then the final one
        kind = text[i++];
    return i;
}

} // namespace

std::string Util::cleanText(std::string_view text) {
    bool utf8 = isUtf8(text);
    std::string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x1B) {
            i = escapeEnd(text, i);
        } else if (c == '\t') {
            clean += ' ';
            ++i;
        } else if ((c < 0x20 && c != '\n') || c == 0x7F || (!utf8 && c >= 0x80 && c <= 0x9F)) {
            ++i;
        } else if (utf8 && c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            i += 2; // U+0080 to U+009F
        } else {
            clean += text[i++];
        }
    }
    return clean;
}

std::string Util::clip(std::string_view text, std::size_t most) {
    if (text.size() <= most)
        return std::string(text);
    std::size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character
    return std::string(text.substr(0, cut)) + T::Clipped;
}

} // namespace zanfir
