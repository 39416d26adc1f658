#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zanfir::test {

// A fresh directory, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return _path; }
    // Path of a file inside the directory.
    std::string file(const std::string& name) const { return _path + "/" + name; }

private:
    std::string _path;
};

void writeFile(const std::string& path, const std::string& text);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
std::vector<std::string> listDir(const std::string& path);

struct RunResult {
    int status = -1; // exit status, or -1 when killed or timed out
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs the program with the arguments, feeding `input` on standard input,
// in the working directory `cwd` (empty: the current one). Kills it after
// `timeout`.
RunResult runZanfir(const std::vector<std::string>& args, const std::string& input = "",
                    const std::string& cwd = "",
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

// The lines of a text, split at "\n" (a trailing "\r" is kept).
std::vector<std::string> lines(const std::string& text);

} // namespace zanfir::test
