#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zanfir::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zanfir-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    _path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> listDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    return names;
}

namespace {

// Reads both pipes until they close or the deadline passes, writing
// `input` to the program meanwhile.
void collect(int pid, int& in, int& out, int& err, const std::string& input,
             std::chrono::milliseconds timeout, RunResult& result) {
    std::size_t written = 0;
    if (in >= 0 && input.empty()) {
        close(in);
        in = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out >= 0 || err >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out : err;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fd);
                fd = -1;
            }
        }
        if (in >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in, input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if (n <= 0 || written == input.size()) {
                close(in);
                in = -1;
            }
        }
    }
    for (int* fd : {&in, &out, &err})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
}

int spawn(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
          int& in, int& out, int& err) {
    int pin[2], pout[2], perr[2];
    if (pipe(pin) || pipe(pout) || pipe(perr))
        throw std::runtime_error("pipe failed");
    signal(SIGPIPE, SIG_IGN);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pin[0], 0);
        dup2(pout[1], 1);
        dup2(perr[1], 2);
        for (int fd : {pin[0], pin[1], pout[0], pout[1], perr[0], perr[1]})
            close(fd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(127);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pin[0]);
    close(pout[1]);
    close(perr[1]);
    in = pin[1];
    out = pout[0];
    err = perr[0];
    return pid;
}

} // namespace

RunResult runZanfir(const std::vector<std::string>& args, const std::string& input,
                    const std::string& cwd, std::chrono::milliseconds timeout) {
    return runProgram(ZANFIR_BIN, args, input, cwd, timeout);
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input, const std::string& cwd,
                     std::chrono::milliseconds timeout) {
    int in, out, err;
    int pid = spawn(program, args, cwd, in, out, err);
    RunResult result;
    collect(pid, in, out, err, input, timeout, result);
    return result;
}

Process::Process(const std::vector<std::string>& args, const std::string& cwd) {
    int in;
    _pid = spawn(ZANFIR_BIN, args, cwd, in, _out, _err);
    close(in);
}

Process::Process(const std::string& program, const std::vector<std::string>& args) {
    int in;
    _pid = spawn(program, args, "", in, _out, _err);
    close(in);
}

// Stopped as a host stops it, so that it ends as it would (and a coverage
// build writes its counts); one that does not stop in time is killed.
Process::~Process() {
    if (_pid > 0) {
        signal(SIGTERM);
        finish(std::chrono::seconds(5));
    }
}

RunResult Process::finish(std::chrono::milliseconds timeout) {
    RunResult result;
    int in = -1;
    collect(_pid, in, _out, _err, "", timeout, result);
    result.err = _err_text + result.err;
    _pid = -1;
    return result;
}

void Process::kill() {
    signal(SIGKILL);
}

void Process::signal(int number) {
    if (_pid > 0)
        ::kill(_pid, number);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string fixture(const std::string& name, bool bundled) {
    return std::string(ZANFIR_SOURCE_DIR) + (bundled ? "/adventures/" : "/tests/adventures/") +
           name;
}

std::string copyFixture(const std::string& name, const TempDir& dir, bool bundled) {
    std::filesystem::copy(fixture(name, bundled), dir.path(),
                          std::filesystem::copy_options::recursive);
    return dir.file(name + ".zanfa");
}

std::vector<std::string> logLines(const std::string& folder) {
    std::vector<std::string> all;
    if (!std::filesystem::exists(folder))
        return all;
    for (const auto& name : listDir(folder))
        if (name.ends_with(".log"))
            for (const auto& line : lines(readFile(folder + "/" + name)))
                all.push_back(line.substr(std::min<std::size_t>(line.size(), 13)));
    return all;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    if (start < text.size())
        out.push_back(text.substr(start));
    return out;
}

} // namespace zanfir::test

namespace zanfir::test {

std::string Process::err() {
    char buffer[4096];
    pollfd fd{_err, POLLIN, 0};
    while (_err >= 0 && poll(&fd, 1, 0) > 0) {
        ssize_t n = read(_err, buffer, sizeof buffer);
        if (n <= 0)
            break;
        _err_text.append(buffer, static_cast<std::size_t>(n));
    }
    return _err_text;
}

TcpClient::TcpClient(int port, std::chrono::milliseconds timeout, const std::string& host) {
    sockaddr_storage address{};
    socklen_t length = 0;
    if (host.find(':') != std::string::npos) {
        auto six = reinterpret_cast<sockaddr_in6*>(&address);
        six->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, host.c_str(), &six->sin6_addr);
        six->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *six;
    } else {
        auto four = reinterpret_cast<sockaddr_in*>(&address);
        four->sin_family = AF_INET;
        ::inet_pton(AF_INET, host.c_str(), &four->sin_addr);
        four->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *four;
    }
    waitUntil(
        [&] {
            _fd = ::socket(address.ss_family, SOCK_STREAM, 0);
            if (::connect(_fd, reinterpret_cast<sockaddr*>(&address), length) == 0)
                return true;
            ::close(_fd);
            _fd = -1;
            return false;
        },
        timeout);
}

TcpClient::~TcpClient() {
    close();
}

void TcpClient::close() {
    if (_fd >= 0)
        ::close(_fd);
    _fd = -1;
}

void TcpClient::send(const std::string& bytes) {
    std::size_t done = 0;
    while (_fd >= 0 && done < bytes.size()) {
        ssize_t n = ::send(_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
}

std::string TcpClient::until(const std::string& marker, std::chrono::milliseconds timeout) {
    return readUntil(_fd, _pending, marker, timeout);
}

std::optional<std::string> TcpClient::tryUntil(const std::string& marker,
                                               std::chrono::milliseconds timeout) {
    bool closed = false;
    std::string text = readUntil(_fd, _pending, marker, timeout, &closed);
    if (closed)
        return std::nullopt;
    return text;
}

const std::string& TcpClient::within(std::chrono::milliseconds time) {
    auto deadline = std::chrono::steady_clock::now() + time;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{_fd, POLLIN, 0};
        if (_fd < 0 || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return _pending;
        char buffer[4096];
        ssize_t n = ::read(_fd, buffer, sizeof buffer);
        if (n <= 0)
            return _pending;
        _pending.append(buffer, static_cast<std::size_t>(n));
    }
}

namespace {
// The test one of whose waits timed out: it has failed, and its later waits
// give up within a second rather than each wait out its time.
std::atomic<const ::testing::TestInfo*> timed_out{nullptr};
} // namespace

std::string readUntil(int fd, std::string& pending, const std::string& marker,
                      std::chrono::milliseconds timeout, bool* closed) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test && timed_out == test)
        timeout = std::min(timeout, std::chrono::milliseconds(1000));
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto found = pending.find(marker);
        if (found != std::string::npos) {
            std::string text = pending.substr(0, found + marker.size());
            pending.erase(0, found + marker.size());
            return text;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (fd < 0 || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            timed_out = test;
            ADD_FAILURE() << "no \"" << marker << "\" in: " << pending;
            return std::exchange(pending, "");
        }
        char buffer[4096];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (closed)
                *closed = true;
            else
                ADD_FAILURE() << "closed before \"" << marker << "\" in: " << pending;
            return std::exchange(pending, "");
        }
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

bool editing(int master) {
    return waitUntil([&] {
        termios modes{};
        return ::tcgetattr(master, &modes) == 0 && !(modes.c_lflag & ICANON);
    });
}

void Screen::feed(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        std::string& row = _rows[_row];
        if (c == '\r') {
            _column = 0;
        } else if (c == '\n') {
            if (++_row == _rows.size())
                _rows.emplace_back();
        } else if (c == '\b') {
            _column -= _column > 0;
        } else if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
            std::size_t end = bytes.find_first_of(
                "@ABCDEFGHIJKLMNOPQRSTUVWXYZ`abcdefghijklmnopqrstuvwxyz{|}~", i + 2);
            if (end == std::string::npos)
                break;
            std::size_t n = std::max(1, std::atoi(bytes.c_str() + i + 2));
            if (bytes[end] == 'G')
                _column = n - 1;
            else if (bytes[end] == 'C')
                _column += n;
            else if (bytes[end] == 'D')
                _column -= std::min(n, _column);
            else if (bytes[end] == 'K')
                row.resize(std::min(row.size(), _column));
            i = end;
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            if (row.size() <= _column)
                row.resize(_column + 1, ' ');
            row[_column++] = c;
        }
    }
}

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

bool TcpClient::closedByServer(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (_fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{_fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        ssize_t n = ::recv(_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
        _pending.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

int freePort() {
    // The system may offer a port again once it is closed: a test that asks
    // for two (the telnet and the web port) must not get one twice.
    static std::mutex lock;
    static std::set<int> given;
    std::lock_guard guard(lock);
    for (;;) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        if (given.insert(ntohs(address.sin_port)).second)
            return ntohs(address.sin_port);
    }
}

int openFiles(int pid) {
    return static_cast<int>(listDir("/proc/" + std::to_string(pid) + "/fd").size());
}

bool setReadOnly(const std::string& folder, bool readOnly) {
    if (::geteuid() != 0)
        return ::chmod(folder.c_str(), readOnly ? 0555 : 0755) == 0;
    std::string command =
        std::string("chattr ") + (readOnly ? "+i '" : "-i '") + folder + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

long residentKiB(int pid) {
    std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    auto at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

} // namespace zanfir::test
