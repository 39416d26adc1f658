#include "tools/GameProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "T.h"
#include "runtime/Errors.h"

namespace zanfir {

namespace {

using Clock = std::chrono::steady_clock;

// Whether a thread of the process is blocked reading its standard input;
// none when the system does not tell.
std::optional<bool> readingInput(int pid) {
    std::error_code error;
    std::filesystem::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task", error);
    if (error)
        return std::nullopt;
    bool told = false;
    for (const auto& task : tasks) {
        std::ifstream file(task.path() / "syscall");
        long number = -1;
        std::string first;
        if (!(file >> number))
            continue; // "running", or not readable
        told = true;
        if (number == SYS_read && file >> first && std::strtoul(first.c_str(), nullptr, 16) == 0)
            return true;
    }
    return told ? std::optional<bool>(false) : std::nullopt;
}

} // namespace

GameProcess::GameProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        throw Exception(std::string(T::ScriptCantStart) + std::strerror(errno));
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw Exception(std::string(T::ScriptCantStart) + std::strerror(errno));
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    _pid = ::fork();
    if (_pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        if (::chdir(cwd.c_str()) == 0)
            ::execvp(argv[0], argv.data());
        std::string failure = T::ScriptCantStart + program + ": " + std::strerror(errno) + "\n";
        (void)!::write(2, failure.data(), failure.size());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    _in = in[1];
    _out = out[0];
    if (_pid < 0) {
        ::close(_in);
        ::close(_out);
        throw Exception(std::string(T::ScriptCantStart) + std::strerror(errno));
    }
}

GameProcess::~GameProcess() {
    if (_in >= 0)
        ::close(_in);
    if (_out >= 0)
        ::close(_out);
    if (_pid > 0 && ::waitpid(_pid, nullptr, WNOHANG) == 0) {
        ::kill(_pid, SIGKILL);
        ::waitpid(_pid, nullptr, 0);
    }
}

GameProcess::Answer GameProcess::answer(std::chrono::milliseconds timeout) {
    const std::string prompt = T::Prompt;
    std::string text;
    const auto start = Clock::now();
    auto lastData = start;
    while (_out >= 0) {
        if (text.ends_with(prompt)) {
            text.resize(text.size() - prompt.size());
            return {State::Waiting, text};
        }
        pollfd ready{_out, POLLIN, 0};
        if (::poll(&ready, 1, 20) > 0) {
            if (!readSome(text))
                break;
            lastData = Clock::now();
            continue;
        }
        // Some other question: the game reads again once it has taken our
        // line, and it has written all it printed before it reads.
        int unread = 0;
        bool taken = ::ioctl(_in, FIONREAD, &unread) != 0 || unread == 0;
        auto reading = readingInput(_pid);
        const auto now = Clock::now();
        if (reading ? *reading && taken
                    : !text.empty() && text.back() != '\n' && now - lastData >= QUIET) {
            while (::poll(&ready, 1, 0) > 0 && readSome(text)) {
            }
            if (text.ends_with(prompt)) // it came just before the game read
                text.resize(text.size() - prompt.size());
            return {State::Waiting, text};
        }
        if (now - start >= timeout)
            return {State::Silent, text};
    }
    return {State::Ended, text};
}

bool GameProcess::readSome(std::string& text) {
    char buffer[4096];
    ssize_t got;
    do
        got = ::read(_out, buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        ::close(_out);
        _out = -1;
        return false;
    }
    text.append(buffer, static_cast<std::size_t>(got));
    return true;
}

void GameProcess::send(const std::string& line) {
    std::string bytes = line + "\n";
    for (std::size_t done = 0; _in >= 0 && done < bytes.size();) {
        ssize_t wrote = ::write(_in, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break; // the game has gone: its answer says so
        done += static_cast<std::size_t>(wrote);
    }
}

int GameProcess::finish(std::chrono::milliseconds timeout) {
    if (_in >= 0) {
        ::close(_in);
        _in = -1;
    }
    const auto deadline = Clock::now() + timeout;
    while (_pid > 0) {
        int status = 0;
        pid_t done = ::waitpid(_pid, &status, WNOHANG);
        if (done == _pid) {
            _status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            _pid = -1;
            break;
        }
        if (Clock::now() >= deadline) {
            ::kill(_pid, SIGKILL);
            ::waitpid(_pid, nullptr, 0);
            _pid = -1;
            _status = -1;
            break;
        }
        // Whatever it still prints is read, so that it never blocks on a
        // full pipe.
        pollfd ready{_out, POLLIN, 0};
        if (_out >= 0 && ::poll(&ready, 1, 10) > 0) {
            char buffer[4096];
            if (::read(_out, buffer, sizeof buffer) <= 0) {
                ::close(_out);
                _out = -1;
            }
        } else if (_out < 0) {
            ::usleep(10000);
        }
    }
    return _status;
}

} // namespace zanfir
