#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zanfir {

// The interpreter run as a console game with piped standard streams, for
// scripted play: one line sent, one answer read.
class GameProcess {
public:
    // Where the system does not tell whether the game reads its input: how
    // long an unfinished line may stay alone before it is taken for a
    // question the game waits on.
    static constexpr std::chrono::milliseconds QUIET{200};

    // Starts `program` with the arguments in the folder `cwd`; standard
    // error goes with standard output. Throws Exception when it cannot.
    GameProcess(const std::string& program, const std::vector<std::string>& args,
                const std::string& cwd);
    ~GameProcess();
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    enum class State { Waiting, Ended, Silent };
    struct Answer {
        State state;
        std::string text; // the main prompt left out
    };
    // What the game prints until it waits for a line or ends; Silent after
    // `timeout`.
    Answer answer(std::chrono::milliseconds timeout);
    void send(const std::string& line);
    // Closes its input and waits for the end; the exit status, or -1 when
    // it had to be killed.
    int finish(std::chrono::milliseconds timeout);

private:
    // Appends what the game wrote; false at its end.
    bool readSome(std::string& text);

    int _pid = -1;
    int _in = -1;
    int _out = -1;
    int _status = -1;
};

} // namespace zanfir
