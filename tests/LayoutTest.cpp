#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The folders of src/ each file of a folder may not include.
const std::vector<std::pair<std::string, std::vector<std::string>>> FORBIDDEN = {
    {"engine", {"net", "console", "tools"}},
    {"language", {"net", "console", "tools"}},
    {"world", {"net", "console", "tools"}},
    {"state", {"net", "console", "tools"}},
    {"runtime", {"net", "console", "tools"}},
    {"util", {"net", "console", "tools"}},
    {"net", {"console", "tools"}},
    {"console", {"net", "tools"}},
};

// Includes point one way: the engine and what it stands on know no front
// end, and neither front end knows the other.
TEST(LayoutTest, IncludesPointOneWay) {
    const fs::path src = fs::path(ZANFIR_SOURCE_DIR) / "src";
    const std::regex include(R"(^\s*#include\s+"([a-z]+)/)");
    int files = 0;
    for (const auto& [folder, forbidden] : FORBIDDEN) {
        ASSERT_TRUE(fs::is_directory(src / folder)) << folder;
        for (const auto& entry : fs::recursive_directory_iterator(src / folder)) {
            if (!entry.is_regular_file())
                continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (!std::regex_search(line, match, include))
                    continue;
                for (const auto& other : forbidden)
                    EXPECT_NE(match[1].str(), other)
                        << entry.path().string() << ":" << number << ": " << line;
            }
        }
    }
    EXPECT_GT(files, 100);
}

// A file that grows past this is a part waiting to be drawn out.
TEST(LayoutTest, NoSourceFileIsLong) {
    constexpr int MAX_LINES = 600;
    const fs::path src = fs::path(ZANFIR_SOURCE_DIR) / "src";
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        std::ifstream in(entry.path());
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        EXPECT_LE(lines, MAX_LINES) << entry.path().string();
    }
    EXPECT_GT(files, 100);
}

} // namespace
