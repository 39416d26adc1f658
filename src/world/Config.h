#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zanfir {

// One definition file, read whole at construction: sections of variables
// whose values may run on over several lines. Names and sections are
// case-insensitive; values keep their case. Immutable once built, so any
// thread may query it.
class Config {
public:
    static constexpr char SECTION_BEGIN = '[';
    static constexpr char SECTION_END = ']';
    static constexpr char ASSIGNMENT = '=';
    using Section = std::optional<std::string>;

    // Reads baseDir + path; without a base directory, the file is looked for
    // in the global file's base directory. Throws ConfigNotFoundException
    // and ConfigSyntaxException.
    Config(const std::optional<std::string>& baseDir, const std::string& path);
    explicit Config(const std::string& path);

    const std::string& getBaseDir() const { return _baseDir; }
    const std::string& getPath() const { return _path; }

    std::string get(const std::string& name, const Section& section = std::nullopt) const;
    std::optional<std::string> getN(const std::string& name,
                                    const Section& section = std::nullopt) const;
    std::string getD(const std::string& name, const std::string& fallback) const;
    std::string getD(const std::string& name, const Section& section,
                     const std::string& fallback) const;
    // Names of a section's variables, in file order; without a section,
    // those outside any.
    std::vector<std::string> variables(const Section& section = std::nullopt) const;
    // Section names in file order, one per header line.
    const std::vector<std::string>& sections() const { return _sections; }
    // The line (from 1) where a variable was last assigned, or where a
    // section's first header stands; 0 for a name the file lacks.
    int line(const std::string& name, const Section& section = std::nullopt) const;
    int sectionLine(const std::string& section) const;
    // Variables assigned more than once (the last value counts): section
    // (empty for the top level) and name, in file order.
    const std::vector<std::pair<std::string, std::string>>& repeated() const { return _repeated; }

    // The first file registered stays the global one: the others are found
    // in its directory.
    static void setGlobalConfig(std::shared_ptr<Config> config);
    // Forgets the global file, so that tests can register another.
    static void resetGlobalConfig();
    static std::string getBaseDirG();

protected:
    void load();
    static bool isSection(const std::string& line);
    static bool isAssignment(const std::string& line);

private:
    static std::string key(const std::string& name, const Section& section);
    void appendPiece(const std::string& line, std::size_t start, std::string& value) const;
    void index(const std::string& key);

    std::string _path;
    std::string _baseDir;
    std::unordered_map<std::string, std::string> _variables;
    std::unordered_map<std::string, int> _lines;         // of _variables
    std::unordered_map<std::string, int> _section_lines; // of the first header of each
    // The variable names of each section and of the top level, in the
    // order they were first defined.
    std::unordered_map<std::string, std::vector<std::string>> _sections_index;
    std::vector<std::string> _top_level;
    std::vector<std::string> _sections;
    std::vector<std::pair<std::string, std::string>> _repeated;
};

} // namespace zanfir
