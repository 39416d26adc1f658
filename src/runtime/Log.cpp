#include "runtime/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <system_error>

#include "T.h"
#include "runtime/Errors.h"
#include "util/Util.h"

namespace zanfir {

namespace {

std::shared_ptr<Log> global_log;

std::string twoDigits(int n) {
    return std::string(n < 10 ? "0" : "") + std::to_string(n);
}

// Cut to `width` characters, then padded with blanks to exactly `width`.
std::string column(const std::string& text, std::size_t width) {
    std::size_t count = 0, end = 0;
    while (end < text.size() && count < width) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        ++count;
    }
    return text.substr(0, end) + std::string(width - count, ' ');
}

std::string levelName(int level) {
    switch (level) {
    case Log::INFO:
        return "INFO";
    case Log::WARN:
        return "WARN";
    case Log::FAIL:
        return "FAIL";
    default:
        return "????";
    }
}

} // namespace

Log::Log(const std::string& path, bool crlf) : _path(path), _crlf(crlf) {
    if (!_path.empty() && _path.back() != '/')
        _path += '/';
}

void Log::write(const std::string& entity, int level, const std::exception& error) {
    std::string place = placeOf(error);
    write(entity, level,
          place.empty() ? describe(error)
                        : describe(error) + T::FailurePlaceInLine + place + T::FailurePlaceInLineX);
}

void Log::write(const std::string& entity, int level, const std::string& text) {
    if (level < getLevel())
        return;
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    struct tm date {};
    localtime_r(&seconds, &date);
    std::string ms = std::to_string(millis);
    std::string line = twoDigits(date.tm_hour) + ":" + twoDigits(date.tm_min) + ":" +
                       twoDigits(date.tm_sec) + "." + std::string(3 - ms.size(), '0') + ms + " " +
                       column(entity, ENTITY_LENGTH) + " " + levelName(level) + " " + text +
                       (_crlf ? "\r\n" : "\n");
    auto file = openFile(_path + fileName(date));
    if (!file)
        return;
    // One append of the whole line: entries never interleave.
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(file->fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::system_error error(errno, std::generic_category(), file->name);
            std::cerr << T::CantWriteLogFileC << getClassName(&error) << ": " << error.what()
                      << std::endl;
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

// The log file stays open between entries, but a file that was moved or
// removed meanwhile is opened (created) again, as is the next day's. The
// disk is looked at once in a while, not for every entry: a look costs more
// than the write.
std::shared_ptr<Log::File> Log::openFile(const std::string& name) {
    std::lock_guard guard(_lock);
    auto now = std::chrono::steady_clock::now();
    if (_file && _file->name == name && now - _file->checked < RECHECK)
        return _file;
    struct stat info {};
    if (_file && _file->name == name && ::stat(name.c_str(), &info) == 0 &&
        info.st_dev == _file->device && info.st_ino == _file->inode) {
        _file->checked = now;
        return _file;
    }
    _file.reset();
    if (name == _unopened && now - _tried < RECHECK)
        return nullptr;
    int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::system_error error(errno, std::generic_category(), name);
        if (name != _unopened)
            std::cerr << T::CantOpenLogFileC << getClassName(&error) << ": " << error.what() << '\n'
                      << T::CantOpenLogFileHint << std::endl;
        if (fd >= 0)
            ::close(fd);
        _unopened = name;
        _tried = now;
        return nullptr;
    }
    _unopened.clear();
    _file = std::make_shared<File>(fd, info.st_dev, info.st_ino, name);
    return _file;
}

Log::File::~File() {
    ::close(fd);
}

void Log::setLevel(int level) {
    _level = level;
}

void Log::setLevel(const std::string& name) {
    std::string upper = Util::toUpper(Util::trim(name));
    setLevel(upper == "WARN" ? WARN : upper == "FAIL" ? FAIL : INFO);
}

int Log::getLevel() const {
    return _level;
}

std::string Log::fileName(const struct tm& date) const {
    return std::to_string(date.tm_year + 1900) + twoDigits(date.tm_mon + 1) +
           twoDigits(date.tm_mday) + ".log";
}

std::string Log::getFileName() {
    std::lock_guard guard(_lock);
    std::time_t seconds = std::time(nullptr);
    struct tm date {};
    localtime_r(&seconds, &date);
    return fileName(date);
}

void Log::setGlobalLog(std::shared_ptr<Log> log) {
    global_log = std::move(log);
}

std::shared_ptr<Log> Log::getGlobalLog() {
    return global_log;
}

void Log::writeG(const std::string& entity, int level, const std::string& text) {
    if (global_log)
        global_log->write(entity, level, text);
}

void Log::writeG(const std::string& entity, int level, const std::exception& error) {
    if (global_log)
        global_log->write(entity, level, error);
}

bool Log::writesG(int level) {
    return global_log && level >= global_log->getLevel();
}

void Log::setLevelG(int level) {
    if (global_log)
        global_log->setLevel(level);
}

std::string Log::getClassName(const std::exception* error) {
    if (!error)
        return "?";
    if (auto own = dynamic_cast<const Exception*>(error))
        return own->className();
    return Exception::classNameOf(typeid(*error));
}

std::string Log::describe(const std::exception& error) {
    const char* message = error.what();
    return T::Exception + getClassName(&error) + ": " + (message ? message : "null");
}

std::string Log::placeOf(const std::exception& error) {
    auto own = dynamic_cast<const Exception*>(&error);
    return own && own->place().known() ? own->place().toString() : "";
}

std::string Log::describeWithPlace(const std::exception& error) {
    std::string place = placeOf(error);
    return place.empty() ? describe(error) : describe(error) + "\n" + T::FailurePlace + place;
}

} // namespace zanfir
