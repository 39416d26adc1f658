#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "TestSupport.h"
#include "common/Context.h"
#include "common/ContextFile.h"

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

TEST(CrashSafetyTest, SharedWorldSurvivesKills) {
    TempDir dir;
    std::string main = copyFixture("castello", dir);
    int port = freePort();
    writeFile(main, "RemotePort=" + std::to_string(port) + "\n" + readFile(main));
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 8; ++round) {
        Process server({main, "-server", "-mud"});
        TcpClient client(port);
        ASSERT_TRUE(client.connected()) << round; // it always starts again
        client.until("Qual'e' il tuo nome? ");
        client.send("Anna\r\n");
        client.until("Qual'e' la tua password? ");
        client.send("segreto\r\n");
        if (round == 0) {
            client.until("Riscrivi la tua password, per favore: ");
            client.send("segreto\r\n");
        }
        client.until("Cosa devo fare? ");
        if (round == 0) { // Anna is known from the first save on
            ASSERT_TRUE(waitUntil([&] {
                return readFile(dir.file("castello.gcontext")).find("Anna") != std::string::npos;
            }));
        }
        // Play and save all the time, and die at a random moment.
        for (int i = 0; i < 40; ++i)
            client.send(i % 2 ? "prendi lanterna\r\nnord\r\n" : "sud\r\nlascia lanterna\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 150));
        server.kill();
        server.finish();
        expectSavedWhole(dir.file("castello.gcontext"), "USER.1.NAME");
    }
    // Temporary files of interrupted saves are cleared at the next start.
    Process server({main, "-server", "-mud"});
    TcpClient client(port);
    client.until("Qual'e' il tuo nome? ");
    for (const auto& name : listDir(dir.path()))
        EXPECT_EQ(name.find(".tmp."), std::string::npos) << name;
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
