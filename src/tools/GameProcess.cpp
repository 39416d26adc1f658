#include "tools/GameProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "T.h"
#include "exception/Exception.h"

namespace zanfir {

namespace {

using Clock = std::chrono::steady_clock;

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
        if (text.size() >= prompt.size() && text.ends_with(prompt)) {
            text.resize(text.size() - prompt.size());
            return {State::Waiting, text};
        }
        const auto now = Clock::now();
        if (!text.empty() && text.back() != '\n' && now - lastData >= QUIET)
            return {State::Waiting, text};
        if (now - start >= timeout)
            return {State::Silent, text};
        pollfd ready{_out, POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0)
            continue;
        char buffer[4096];
        ssize_t got = ::read(_out, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ::close(_out);
            _out = -1;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        lastData = Clock::now();
    }
    return {State::Ended, text};
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
