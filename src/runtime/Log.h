#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

namespace zanfir {

// The daily log file: one line per entry. The file may be read, moved or
// removed while the program runs: an entry RECHECK later opens it again
// (those in between still go to the file moved).
class Log {
public:
    static constexpr int INFO = 10;
    static constexpr int WARN = 100;
    static constexpr int FAIL = 10000;
    static constexpr int ENTITY_LENGTH = 30;
    // The most bytes of a text from a client an entry holds (Util::clip).
    static constexpr std::size_t CLIENT_TEXT = 200;
    // How often the open file is checked against the one on the disk.
    static constexpr std::chrono::milliseconds RECHECK{250};

    // `path` is the log directory; an empty path is the working directory.
    Log(const std::string& path, bool crlf);

    void write(const std::string& entity, int level, const std::exception& error);
    void write(const std::string& entity, int level, const std::string& text);
    void setLevel(int level);
    void setLevel(const std::string& name);
    int getLevel() const;
    // The file name of the current date, e.g. "20261205.log".
    std::string getFileName();
    const std::string& getPath() const { return _path; }

    static void setGlobalLog(std::shared_ptr<Log> log);
    static std::shared_ptr<Log> getGlobalLog();
    static void writeG(const std::string& entity, int level, const std::string& text);
    static void writeG(const std::string& entity, int level, const std::exception& error);
    static void setLevelG(int level);
    // Whether the global log takes entries of this level (to skip making one).
    static bool writesG(int level);
    // The class name without its namespace; "?" for none.
    static std::string getClassName(const std::exception* error);
    // "Eccezione " + class name + ": " + message.
    static std::string describe(const std::exception& error);
    // The failure's place in the adventure's files, when known: "FILE:LINE
    // [SECTION] KEY"; empty otherwise.
    static std::string placeOf(const std::exception& error);
    // describe(), and on a line of its own the place, when known.
    static std::string describeWithPlace(const std::exception& error);

private:
    // An open log file and the file it is on the disk.
    struct File {
        File(int fd, dev_t device, ino_t inode, std::string name)
            : fd(fd), device(device), inode(inode), name(std::move(name)) {}
        ~File();
        File(const File&) = delete;
        File& operator=(const File&) = delete;
        int fd;
        dev_t device;
        ino_t inode;
        std::string name;
        std::chrono::steady_clock::time_point checked = std::chrono::steady_clock::now();
    };

    std::string fileName(const struct tm& date) const;
    std::shared_ptr<File> openFile(const std::string& name);

    mutable std::recursive_mutex _lock; // the open file
    std::string _path;
    bool _crlf;
    std::atomic<int> _level = INFO;
    std::shared_ptr<File> _file;
    // The file that could not be opened, told once, and when it was last
    // tried: it is tried again once in a while, not for every entry.
    std::string _unopened;
    std::chrono::steady_clock::time_point _tried;
};

} // namespace zanfir
