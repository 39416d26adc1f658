#include "state/ContextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "T.h"
#include "runtime/Errors.h"
#include "state/Context.h"
#include "util/Util.h"

namespace zanfir {

using json = nlohmann::json;

namespace {

// The file is {"format": FORMAT, "version": VERSION, "context": {...}}.
// Leaves are JSON strings, integers and booleans, nested contexts objects.
// Names are always upper-cased, so lower-case markers cannot clash with
// them: a string that is not valid UTF-8 is stored as {"bytes": hex}, and
// such a name as "bytes:" + hex.
constexpr const char* FORMAT = "zanfir-context";
constexpr int VERSION = 1;
constexpr const char* BYTES = "bytes";
constexpr const char* BYTES_PREFIX = "bytes:";
constexpr int MAX_DEPTH = 256;

std::string toHex(const std::string& s) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> fromHex(const std::string& hex) {
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

[[noreturn]] void badFile(const std::string& file) {
    throw SerializationException(T::NotAContextFile + file + T::QuoteEnd);
}

[[noreturn]] void systemError(const std::string& file) {
    throw SerializationException(file + ": " + std::strerror(errno));
}

std::string encodeName(const std::string& name) {
    return Util::isUtf8(name) ? name : BYTES_PREFIX + toHex(name);
}

void writeString(const std::string& text, std::string& out) {
    static constexpr char digits[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void writeObject(const Context& context, std::string& out, int depth);

// A value as JSON, written straight into the text: a shared world is saved
// often, and this is its cost. A negative depth writes it on one line.
void writeValue(const Context::Value& value, std::string& out, int depth) {
    if (auto s = std::get_if<std::string>(&value)) {
        if (Util::isUtf8(*s)) {
            writeString(*s, out);
        } else {
            out += "{\"";
            out += BYTES;
            out += "\": \"" + toHex(*s) + "\"}";
        }
    } else if (auto i = std::get_if<std::int32_t>(&value)) {
        out += std::to_string(*i);
    } else if (auto b = std::get_if<bool>(&value)) {
        out += *b ? "true" : "false";
    } else {
        writeObject(*std::get<std::shared_ptr<Context>>(value), out, depth < 0 ? depth : depth + 1);
    }
}

void writeObject(const Context& context, std::string& out, int depth) {
    auto entries = context.entries();
    if (entries.empty()) {
        out += "{}";
        return;
    }
    const bool lines = depth >= 0;
    out += lines ? "{\n" : "{";
    bool first = true;
    for (const auto& [name, value] : entries) {
        if (!first)
            out += lines ? ",\n" : ",";
        first = false;
        if (lines)
            out.append(static_cast<std::size_t>(depth + 1), '\t');
        writeString(encodeName(name), out);
        out += lines ? ": " : ":";
        writeValue(value, out, depth);
    }
    if (lines) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth), '\t');
    }
    out += '}';
}

// A name as written by encodeName; none for a bad one.
std::optional<std::string> decodeName(const std::string& key) {
    if (!key.starts_with(BYTES_PREFIX))
        return Util::toUpper(key);
    return fromHex(key.substr(std::strlen(BYTES_PREFIX)));
}

void fromJson(const json& object, Context& context, const std::string& file);

Context::Value valueFromJson(const json& item, const std::string& file) {
    if (item.is_string())
        return item.get<std::string>();
    if (item.is_boolean())
        return item.get<bool>();
    if (item.is_number_unsigned()) {
        auto n = item.get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(INT32_MAX))
            badFile(file);
        return static_cast<std::int32_t>(n);
    }
    if (item.is_number_integer()) {
        auto n = item.get<std::int64_t>();
        if (n < INT32_MIN || n > INT32_MAX)
            badFile(file);
        return static_cast<std::int32_t>(n);
    }
    if (item.is_object() && item.size() == 1 && item.contains(BYTES)) {
        const json& hex = item[BYTES];
        auto decoded = hex.is_string() ? fromHex(hex.get<std::string>()) : std::nullopt;
        if (!decoded)
            badFile(file);
        return *decoded;
    }
    if (item.is_object()) {
        auto nested = std::make_shared<Context>();
        fromJson(item, *nested, file);
        return nested;
    }
    badFile(file);
}

void fromJson(const json& object, Context& context, const std::string& file) {
    for (const auto& [key, item] : object.items()) {
        auto name = decodeName(key);
        if (!name || name->find('.') != std::string::npos)
            badFile(file);
        context.set(*name, valueFromJson(item, file));
    }
}

// Whether objects and arrays nest no deeper than MAX_DEPTH. Checked before
// parsing, in one pass: the parser's own hook for it costs, at the end of
// each object, a walk over the object holding it (minutes for a world of
// 100,000 players).
bool shallow(const std::string& text) {
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{' || c == '[') {
            if (++depth > MAX_DEPTH)
                return false;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

json parse(const std::string& text, const std::string& file) {
    if (!shallow(text))
        badFile(file);
    try {
        return json::parse(text);
    } catch (const std::exception&) {
        badFile(file);
    }
}

} // namespace

std::string ContextFile::toText(const Context& state) {
    std::string text = "{\n\t\"format\": \"";
    text += FORMAT;
    text += "\",\n\t\"version\": " + std::to_string(VERSION) + ",\n\t\"context\": ";
    writeObject(state, text, 1);
    text += "\n}\n";
    return text;
}

void ContextFile::write(const std::string& file, const Context& state) {
    write(file, toText(state));
}

void ContextFile::write(const std::string& file, const std::string& text) {
    std::string temp = file + ".tmp.XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        systemError(file);
    if (!writeAll(fd, text)) {
        int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        errno = error;
        systemError(file);
    }
    // Owner only: the state holds the players' passwords.
    if (::fchmod(fd, 0600) != 0 || ::fsync(fd) != 0 || ::close(fd) != 0 ||
        ::rename(temp.c_str(), file.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        errno = error;
        systemError(file);
    }
    syncFolder(file); // the rename itself; a failure here loses nothing
}

bool ContextFile::writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void ContextFile::syncFolder(const std::string& file) {
    auto slash = file.rfind('/');
    std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (int dirfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY); dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
}

void ContextFile::removeLeftovers(const std::string& file) {
    auto slash = file.rfind('/');
    std::string dir = slash == std::string::npos ? "." : file.substr(0, slash);
    std::string prefix = (slash == std::string::npos ? file : file.substr(slash + 1)) + ".tmp.";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        if (entry.path().filename().string().starts_with(prefix))
            std::filesystem::remove(entry.path(), ignored);
}

std::shared_ptr<Context> ContextFile::read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        systemError(file);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        systemError(file);
    json document = parse(buffer.str(), file);
    auto field = [&](const char* name) {
        return document.is_object() && document.contains(name) ? document[name] : json();
    };
    json format = field("format"), version = field("version");
    if (format != FORMAT || !version.is_number_integer() || version < 1 || version > VERSION ||
        !field("context").is_object())
        badFile(file);
    auto context = std::make_shared<Context>();
    fromJson(document["context"], *context, file);
    return context;
}

// {"s": path, "v": value} for a value stored, {"r": path} for a name removed.
std::string ContextFile::changeRecord(const std::string& path, const Context::Value* value) {
    std::string record = value ? "{\"s\":" : "{\"r\":";
    writeString(encodeName(path), record);
    if (value) {
        record += ",\"v\":";
        writeValue(*value, record, -1);
    }
    return record + "}";
}

void ContextFile::applyChange(Context& root, const std::string& record, const std::string& file) {
    json change = parse(record, file);
    bool stored = change.is_object() && change.contains("s") && change["s"].is_string() &&
                  change.contains("v");
    bool removed = change.is_object() && change.contains("r") && change["r"].is_string();
    if (!stored && !removed)
        badFile(file);
    auto path = decodeName(change[stored ? "s" : "r"].get<std::string>());
    if (!path)
        badFile(file);
    if (stored)
        root.set(*path, valueFromJson(change["v"], file));
    else
        root.remove(*path);
}

} // namespace zanfir
