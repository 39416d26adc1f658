#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "TestSupport.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/PlayerRegistry.h"
#include "language/Action.h"
#include "language/Description.h"
#include "net/SocketTerminal.h"
#include "runtime/Input.h"
#include "runtime/Output.h"
#include "state/Context.h"
#include "state/ref/ObjectRef.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/User.h"

namespace zanfir::test {

// The engine with its protected operations open to the tests, and action
// blocks that tests can stand in for the real parser.
class TestMain : public Main {
public:
    explicit TestMain(const std::string& fixtureName, bool multiuser = false,
                      const std::string& directory = "")
        : Main(fixtureName, directory.empty() ? fixture(fixtureName) : directory, !multiuser,
               multiuser, multiuser) {}

    using Main::deserialize;
    using Main::serialize;

    std::shared_ptr<Action> parseAction(const std::string& text, Action* parent) override {
        auto found = blocks.find(text);
        if (found == blocks.end())
            return Main::parseAction(text, parent);
        auto action = found->second();
        action->setParent(parent);
        return action;
    }

    // Blocks the parser answers with an action made by the test.
    std::map<std::string, std::function<std::shared_ptr<Action>()>> blocks;
};

using WorldTest = ::testing::Test;

// An action that runs a function of the test as its work.
class ProbeAction : public Action {
public:
    explicit ProbeAction(std::function<bool(ProbeAction&)> work) : _work(std::move(work)) {}
    bool run(const Execution& now) override {
        const Execution* before = std::exchange(_now, &now);
        bool result = _work(*this);
        _now = before;
        return result;
    }

    // What the work is running with, while it runs.
    const Execution& now() const { return *_now; }
    Adventure& session() const { return _now->session; }
    const std::shared_ptr<Context>& context() const { return _now->context; }
    void print(const std::string& text) { Action::print(*_now, text); }
    void println(const std::string& text) { Action::println(*_now, text); }
    void println(const std::string& before, Description& description, const std::string& after) {
        Action::println(*_now, before, description, after);
    }
    std::string readln(const std::string& prompt) { return Action::readln(*_now, prompt); }
    bool checkItems(int mask) { return Action::checkItems(*_now, mask); }

private:
    std::function<bool(ProbeAction&)> _work;
    const Execution* _now = nullptr;
};

// A terminal on a socket, which it then owns, that neither echoes nor ends
// lines with CR.
inline std::shared_ptr<SocketTerminal> quietTerminal(Main& main, int socket) {
    Settings quiet = main.settings();
    quiet.remote_in_echo = false;
    quiet.remote_out_crlf = false;
    return std::make_shared<SocketTerminal>(socket, quiet);
}

// A session whose output goes to a socket pair, with its player logged in
// through the engine (numbered from 1 in each engine).
class Session {
public:
    // Served by `frontEnd` on `connection`, when given.
    Session(Main& main, const std::string& name, FrontEnd* frontEnd = nullptr,
            std::int32_t connection = 0) {
        socketpair(AF_UNIX, SOCK_STREAM, 0, _fd);
        auto terminal = quietTerminal(main, _fd[0]);
        auto out = std::make_unique<Output>(terminal, false, main.settings());
        auto in = std::make_unique<Input>(terminal, *out, Input::MAX_LINE);
        adventure = std::make_shared<Adventure>(main, std::move(in), std::move(out));
        adventure->setConnection(frontEnd, connection, "");
        ObjectRef holder;
        user = main.players().addAdventure(adventure, holder, name, "");
        adventure->setUser(user, holder.as<Context>());
    }
    ~Session() { close(_fd[1]); }

    Context& ctx() { return *adventure->context(); }
    // What the session printed since the last call.
    std::string output() {
        adventure->out().flush();
        return drain(_fd[1]);
    }
    // Sends a line the session can read.
    void type(const std::string& line) {
        ASSERT_EQ(::write(_fd[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    std::shared_ptr<Adventure> adventure;
    std::shared_ptr<User> user;

private:
    int _fd[2] = {-1, -1};
};

// A real session on its own thread, talking over a socket pair as a
// remote player would, without echo.
class Client {
public:
    explicit Client(Main& main) {
        socketpair(AF_UNIX, SOCK_STREAM, 0, _fd);
        auto terminal = quietTerminal(main, _fd[0]);
        auto out = std::make_unique<Output>(terminal, false, main.settings());
        auto in = std::make_unique<Input>(terminal, *out, Input::MAX_LINE);
        session = std::make_shared<Adventure>(main, std::move(in), std::move(out));
        session->start();
    }
    ~Client() {
        hangUp();
        EXPECT_TRUE(waitUntil([this] { return session->isFinished(); }));
    }

    // Everything the session wrote until `marker` appeared (the marker
    // included); fails the test after the timeout.
    std::string until(const std::string& marker,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void send(const std::string& line) {
        ASSERT_EQ(::write(_fd[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    void hangUp() {
        if (_fd[1] >= 0)
            close(_fd[1]);
        _fd[1] = -1;
    }

    std::shared_ptr<Adventure> session;

private:
    int _fd[2] = {-1, -1};
    std::string _pending;
};

// Writes an adventure's files into `dir`: extension -> text.
void writeAdventure(const TempDir& dir, const std::string& name,
                    const std::map<std::string, std::string>& files);

} // namespace zanfir::test
