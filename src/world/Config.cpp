#include "world/Config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Errors.h"
#include "util/Util.h"

namespace zanfir {

namespace {

std::shared_ptr<Config> global_config;

// The whole file, or nothing when it cannot be opened; a read error ends
// the text quietly.
std::optional<std::string> readFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// Lines end at LF, CR or CR LF.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

void appendUnescaped(const std::string& piece, std::string& value) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] != '\\' || i + 1 == piece.size()) {
            value += piece[i];
            continue;
        }
        switch (char c = piece[++i]) {
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case 'b':
            value += '\b';
            break;
        case 'f':
            value += '\f';
            break;
        case 's':
            value += ' ';
            break;
        default:
            value += c;
        }
    }
}

} // namespace

Config::Config(const std::optional<std::string>& baseDir, const std::string& path)
    : _baseDir(baseDir.value_or("")) {
    if (!_baseDir.empty()) {
        if (_baseDir.back() != '/')
            _baseDir += '/';
        _path = _baseDir + path;
    } else {
        _path = getBaseDirG() + path;
    }
    load();
}

Config::Config(const std::string& path) : Config(std::nullopt, path) {}

std::string Config::key(const std::string& name, const Section& section) {
    std::string upperName = Util::toUpper(Util::trim(name));
    std::string upperSection = section ? Util::toUpper(Util::trim(*section)) : "";
    return upperSection.empty() ? upperName : upperSection + "/" + upperName;
}

std::string Config::get(const std::string& name, const Section& section) const {
    return getN(name, section).value_or("");
}

std::optional<std::string> Config::getN(const std::string& name, const Section& section) const {
    auto found = _variables.find(key(name, section));
    if (found == _variables.end())
        return std::nullopt;
    return found->second;
}

std::string Config::getD(const std::string& name, const std::string& fallback) const {
    return getD(name, std::nullopt, fallback);
}

std::string Config::getD(const std::string& name, const Section& section,
                         const std::string& fallback) const {
    return getN(name, section).value_or(fallback);
}

int Config::line(const std::string& name, const Section& section) const {
    auto found = _lines.find(key(name, section));
    return found == _lines.end() ? 0 : found->second;
}

int Config::sectionLine(const std::string& section) const {
    auto found = _section_lines.find(Util::toUpper(Util::trim(section)));
    return found == _section_lines.end() ? 0 : found->second;
}

std::vector<std::string> Config::variables(const Section& section) const {
    if (!section)
        return _top_level;
    auto found = _sections_index.find(Util::toUpper(Util::trim(*section)));
    return found == _sections_index.end() ? std::vector<std::string>() : found->second;
}

void Config::setGlobalConfig(std::shared_ptr<Config> config) {
    if (!global_config)
        global_config = std::move(config);
}

void Config::resetGlobalConfig() {
    global_config.reset();
}

std::string Config::getBaseDirG() {
    return global_config ? global_config->getBaseDir() : "";
}

bool Config::isSection(const std::string& line) {
    return !line.empty() && line[0] == SECTION_BEGIN &&
           line.find(SECTION_END, 1) != std::string::npos;
}

bool Config::isAssignment(const std::string& line) {
    auto eq = line.find(ASSIGNMENT);
    if (eq == std::string::npos || eq == 0 || Util::isSpace(line[0]))
        return false;
    std::size_t end = eq;
    while (end > 0 && Util::isSpace(line[end - 1]))
        --end;
    for (std::size_t i = 0; i < end; ++i)
        if (Util::isSpace(line[i]))
            return false;
    return true;
}

// A key A/B/C is variable B/C of section A and variable C of section A/B.
void Config::index(const std::string& key) {
    if (key.find('/') == std::string::npos)
        _top_level.push_back(key);
    for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
        _sections_index[key.substr(0, slash)].push_back(key.substr(slash + 1));
}

void Config::appendPiece(const std::string& line, std::size_t start, std::string& value) const {
    std::string piece;
    bool quoted = false;
    if (auto open = line.find('"', start); open != std::string::npos) {
        std::size_t close = open + 1;
        while (close < line.size() && line[close] != '"')
            close += line[close] == '\\' ? 2 : 1;
        if (close >= line.size())
            throw ConfigSyntaxException(line);
        piece = line.substr(open + 1, close - open - 1);
        quoted = true;
    } else {
        auto comment = line.find("//", start);
        piece = Util::trim(std::string_view(line).substr(
            start, comment == std::string::npos ? std::string::npos : comment - start));
    }
    if (piece.empty())
        return;
    if (!quoted && !value.empty() && value.back() != '}' && piece.front() != '{')
        value += ' ';
    appendUnescaped(piece, value);
}

void Config::load() {
    auto text = readFile(_path);
    if (!text)
        throw ConfigNotFoundException(_path);
    // Editors that mark UTF-8 files would otherwise hide the first header or
    // name behind the mark.
    if (text->starts_with("\xEF\xBB\xBF"))
        text->erase(0, 3);
    std::string section, name, value;
    bool pending = false;
    int number = 0, assigned = 0; // the line read, and the line of the pending assignment
    auto store = [&] {
        if (pending) {
            _lines[key(name, section)] = assigned;
            auto [slot, added] = _variables.insert_or_assign(key(name, section), value);
            if (added)
                index(slot->first);
            else
                _repeated.emplace_back(section, Util::toUpper(Util::trim(name)));
        }
        pending = false;
        value.clear();
    };
    for (const auto& line : splitLines(*text)) {
        ++number;
        std::string trimmed = Util::trim(line);
        if (trimmed.empty() || trimmed.starts_with("//"))
            continue;
        std::size_t start = 0;
        if (isSection(line)) {
            store();
            auto close = line.find(SECTION_END, 1);
            section = Util::toUpper(Util::trim(line.substr(1, close - 1)));
            _sections.push_back(section);
            _section_lines.emplace(section, number);
            continue;
        }
        if (isAssignment(line)) {
            store();
            auto eq = line.find(ASSIGNMENT);
            name = line.substr(0, eq);
            pending = true;
            assigned = number;
            start = eq + 1;
        } else if (!pending) {
            // Text before the first assignment of a file or section has no
            // variable to belong to.
            continue;
        }
        try {
            appendPiece(line, start, value);
        } catch (Exception& error) {
            error.setPlace({_path.substr(_path.rfind('/') + 1), number, section,
                            Util::toUpper(Util::trim(name))});
            throw;
        }
    }
    store();
}

} // namespace zanfir
