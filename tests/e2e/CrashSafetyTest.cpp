#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "TestSupport.h"
#include "state/Context.h"
#include "state/ContextFile.h"
#include "state/JsonFileStore.h"

using namespace zanfir::test;

namespace {

// Every state a killed program comes back with is one it had saved whole.
void expectSavedWhole(const std::string& file, const char* what) {
    if (!fileExists(file))
        return;
    try {
        auto state = zanfir::ContextFile::read(file);
        EXPECT_TRUE(state->exist(what)) << file;
    } catch (const std::exception& error) {
        ADD_FAILURE() << file << ": " << error.what();
    }
}

// A shared world killed at random moments of busy play, or right after an
// answer: after the restart, every command that was answered is there. One
// player sits at a question all the while, which once stopped every save.
// The test adventure on `port`, where ACCENDI counts and tells the count.
std::string countingWorld(TempDir& dir, int port, const std::string& settings = "") {
    std::string main = copyFixture("castello", dir);
    writeFile(main, "RemotePort=" + std::to_string(port) + "\n" + settings + readFile(main));
    writeFile(dir.file("castello.actionset"),
              readFile(dir.file("castello.actionset")) +
                  "\n[ACTIONS]\n*:ACCENDI={CONTA++}{println 'conta ' + CONTA}\n");
    return main;
}

TEST(CrashSafetyTest, EveryAnsweredCommandSurvivesAKill) {
    TempDir dir;
    int port = freePort();
    std::string main = countingWorld(dir, port);
    std::mt19937 random(std::random_device{}());
    int answered = 0;
    for (int round = 0; round < 10; ++round) {
        Process server({main, "-server", "-mud"});
        TcpClient anna(port), bruno(port);
        ASSERT_TRUE(anna.connected()) << round; // it always starts again
        for (auto* player : {&anna, &bruno}) {
            player->until("Qual'e' il tuo nome? ");
            player->send(player == &anna ? "Anna\r\n" : "Bruno\r\n");
            player->until("Qual'e' la tua password? ");
            player->send("segreto\r\n");
            if (round == 0) { // new players: asked twice
                player->until("Riscrivi la tua password, per favore: ");
                player->send("segreto\r\n");
            }
            player->until("Cosa devo fare? ");
        }
        bruno.send("basta\r\n");
        bruno.until("- Vuoi smettere di giocare? "); // and there he stays
        // Anna counts; the server dies right after an answer, or at any moment.
        int last = round % 3 == 0 ? 1 + static_cast<int>(random() % 20) : 1000;
        std::thread killer;
        if (last == 1000)
            killer = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
                server.kill();
            });
        for (int i = 0; i < last; ++i) {
            anna.send("accendi\r\n");
            auto answer = anna.tryUntil("Cosa devo fare? ");
            if (!answer)
                break;
            auto at = answer->find("conta ");
            ASSERT_NE(at, std::string::npos) << *answer;
            answered = std::stoi(answer->substr(at + 6));
        }
        if (killer.joinable())
            killer.join();
        else
            server.kill();
        server.finish();
        auto state = zanfir::JsonFileStore(dir.path() + "/", "castello").loadShared();
        ASSERT_NE(state, nullptr);
        EXPECT_GE(state->getInt("USER.1.VARIABLES.CONTA"), answered) << round;
        EXPECT_EQ(state->getString("USER.2.NAME"), "Bruno");
    }
    EXPECT_GT(answered, 20);
}

// The checkpoint itself goes on while a player sits at a question.
TEST(CrashSafetyTest, CheckpointsDoNotWaitForIdlePlayers) {
    TempDir dir;
    int port = freePort();
    std::string main = countingWorld(dir, port, "CheckpointSeconds=1\n");
    Process server({main, "-server", "-mud"});
    TcpClient anna(port), bruno(port);
    anna.until("Qual'e' il tuo nome? ");
    anna.send("Anna\r\n");
    anna.until("Qual'e' la tua password? ");
    anna.send("segreto\r\n");
    anna.until("Riscrivi la tua password, per favore: ");
    anna.send("segreto\r\n");
    anna.until("Cosa devo fare? ");
    bruno.send("Bruno\r\nsegreto\r\nsegreto\r\nbasta\r\n");
    bruno.until("- Vuoi smettere di giocare? ");
    int count = 0;
    EXPECT_TRUE(waitUntil([&] {
        anna.send("accendi\r\n");
        anna.until("Cosa devo fare? ");
        ++count;
        return zanfir::ContextFile::read(dir.file("castello.gcontext"))
                   ->getInt("USER.1.VARIABLES.CONTA") > 0;
    }));
    EXPECT_GT(count, 1);
}

// New players, answered their first prompt, are kept by a server killed
// right then: their accounts were on disk before the prompt left.
TEST(CrashSafetyTest, NewPlayersAreKeptOnceAnswered) {
    TempDir dir;
    int port = freePort();
    std::string main = countingWorld(dir, port, "NewPlayersPerMinute=1000\n");
    Process server({main, "-server", "-mud"});
    constexpr int PLAYERS = 20;
    std::vector<std::unique_ptr<TcpClient>> players;
    for (int i = 0; i < PLAYERS; ++i)
        players.push_back(std::make_unique<TcpClient>(port));
    std::vector<std::thread> logins;
    for (int i = 0; i < PLAYERS; ++i)
        logins.emplace_back([&, i] {
            players[i]->until("Qual'e' il tuo nome? ");
            players[i]->send("Nuovo" + std::to_string(i) + "\r\nsegreto\r\nsegreto\r\n");
            players[i]->until("Cosa devo fare? ");
        });
    for (auto& login : logins)
        login.join();
    server.kill();
    server.finish();
    auto state = zanfir::JsonFileStore(dir.path() + "/", "castello").loadShared();
    ASSERT_NE(state, nullptr);
    auto users = std::get<std::shared_ptr<zanfir::Context>>(*state->get("USER"));
    for (int i = 0; i < PLAYERS; ++i)
        EXPECT_EQ(
            users->namesWhere("NAME", zanfir::Context::Value("Nuovo" + std::to_string(i))).size(),
            1u)
            << i;
}

TEST(CrashSafetyTest, SavedGameSurvivesKills) {
    TempDir dir;
    std::string main = copyFixture("castello", dir);
    std::mt19937 random(std::random_device{}());
    std::string commands = "mario\n";
    for (int i = 0; i < 300; ++i)
        commands += i % 2 ? "nord\nsalva\n" : "sud\nsalva\n";
    for (int round = 0; round < 8; ++round) {
        RunResult game =
            runZanfir({main}, commands, "", std::chrono::milliseconds(random() % 120 + 10));
        expectSavedWhole(dir.file("mario.context"), "USER.1.NAME");
    }
}

} // namespace
