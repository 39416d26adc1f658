#pragma once

#include <chrono>
#include <functional>
#include <optional>
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

// The same for another program of the project.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input = "", const std::string& cwd = "",
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A running program with piped standard streams, killed when destroyed.
class Process {
public:
    Process(const std::vector<std::string>& args, const std::string& cwd = "");
    // Another program than the one under test (an installed one).
    Process(const std::string& program, const std::vector<std::string>& args);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits for the program to end and collects its output; kills it after
    // the timeout.
    RunResult finish(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void kill();
    // Sends it a signal (SIGTERM, SIGINT, ...).
    void signal(int number);
    int pid() const { return _pid; }
    // What the program wrote on standard error so far (it keeps running).
    std::string err();

private:
    int _pid = -1;
    int _out = -1;
    int _err = -1;
    std::string _err_text;
};

// A TCP client of the server on the loopback address.
class TcpClient {
public:
    // Connects to the address (IPv4, or IPv6 when it holds a ':'), retrying
    // until the server listens or the timeout passes.
    explicit TcpClient(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                       const std::string& address = "127.0.0.1");
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return _fd >= 0; }
    // What came until `marker` appeared (the marker included); fails the
    // test after the timeout or when the server closes first.
    std::string until(const std::string& marker,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when the server closes the connection within the timeout.
    bool closedByServer(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The same as until, but none when the server closes first: no failure.
    std::optional<std::string>
    tryUntil(const std::string& marker,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // What came within the time (it stays to be read): no failure.
    const std::string& within(std::chrono::milliseconds time);
    void send(const std::string& bytes);
    void close();

private:
    int _fd = -1;
    std::string _pending;
};

// What arrives on a socket or a terminal until `marker` appears (the marker included),
// keeping what follows in `pending`; fails the test after the timeout or
// when the peer closes first, unless `closing` is set.
std::string readUntil(int fd, std::string& pending, const std::string& marker,
                      std::chrono::milliseconds timeout, bool* closed = nullptr);
// Everything that can be read from a socket now, without waiting.
std::string drain(int fd);

// Whether a line editor reads the terminal whose master side is `master`
// (the terminal is out of canonical mode), waiting for it a while.
bool editing(int master);

// The rows a terminal shows of what a program wrote to it: enough of xterm
// for a line editor's moves (CR, LF, backspace, and CSI G, C, D and K; other
// sequences are left out). Rows are never wrapped or scrolled away; one
// byte is one column.
class Screen {
public:
    void feed(const std::string& bytes);
    const std::vector<std::string>& rows() const { return _rows; }

private:
    std::vector<std::string> _rows{""};
    std::size_t _row = 0, _column = 0;
};

// The questions of the login and the command prompt, as a client reads
// them.
namespace prompts {
inline const std::string NAME = "Qual'e' il tuo nome? ";
inline const std::string PASSWORD = "Qual'e' la tua password? ";
inline const std::string AGAIN = "Riscrivi la tua password, per favore: ";
// What a new name is told before its password prompt, in a shared world.
inline const std::string NEW_NAME = "- E' un nome nuovo: scegli la sua password, di almeno 4 "
                                    "caratteri (la scriverai due volte).\n";
inline const std::string PROMPT = "Cosa devo fare? ";
} // namespace prompts

// A TCP port that nothing listens on now, never the same twice.
int freePort();
// The number of file descriptors a process has open.
int openFiles(int pid);
// The memory a process holds (its resident set), in KiB.
long residentKiB(int pid);
// Lets nobody make files in a folder, root included (an immutable folder,
// where the file system allows it), or lets them again; false when it
// cannot be done here.
bool setReadOnly(const std::string& folder, bool readOnly);

// Waits until the condition holds, checking it every few milliseconds;
// false when it still fails after the timeout.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The folder of an adventure in the source tree: a test adventure, or with
// `bundled` one of those shipped with the program.
std::string fixture(const std::string& name, bool bundled = false);
// Copies an adventure into `dir`; returns the path of its main file.
std::string copyFixture(const std::string& name, const TempDir& dir, bool bundled = false);
// The log lines written in a folder, without their time stamps.
std::vector<std::string> logLines(const std::string& folder);

// The lines of a text, split at "\n" (a trailing "\r" is kept).
std::vector<std::string> lines(const std::string& text);

} // namespace zanfir::test
