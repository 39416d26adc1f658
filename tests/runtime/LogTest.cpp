#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

#include "TestSupport.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"

using namespace zanfir;

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { ::mkdir(dir.file("logs").c_str(), 0755); }
    void TearDown() override { Log::setGlobalLog(nullptr); }

    std::string today(const std::string& folder, Log& log) {
        return test::readFile(dir.file(folder) + "/" + log.getFileName());
    }

    test::TempDir dir;
};

TEST_F(LogTest, LineFormatAndFileName) {
    Log log(dir.file("logs"), true);
    EXPECT_EQ(log.getPath(), dir.path() + "/logs/");
    EXPECT_TRUE(
        std::regex_match(log.getFileName(), std::regex("20[0-9]{2}[01][0-9][0-3][0-9]\\.log")));

    log.write("Main", Log::INFO, "Inizializzazione");
    log.write(std::string(35, 'E'), Log::WARN, "cut");
    log.write("Adventure [Èlisa]", Log::FAIL, "accents");
    log.write("Main", 42, "odd level");
    ItemNotFoundException missing("LAMPADA");
    log.write("Main", Log::FAIL, missing);
    std::runtime_error plain("boom");
    log.write("Main", Log::WARN, plain);

    auto rows = test::lines(today("logs", log));
    ASSERT_EQ(rows.size(), 6u);
    std::regex stamp("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} .*\r");
    for (const auto& row : rows)
        EXPECT_TRUE(std::regex_match(row, stamp)) << row;
    EXPECT_EQ(rows[0].substr(12), " Main" + std::string(26, ' ') + " INFO Inizializzazione\r");
    EXPECT_EQ(rows[1].substr(12), " " + std::string(30, 'E') + " WARN cut\r");
    EXPECT_EQ(rows[2].substr(12), " Adventure [Èlisa]" + std::string(13, ' ') + " FAIL accents\r");
    EXPECT_EQ(rows[3].substr(49), "odd level\r");
    EXPECT_EQ(rows[3].substr(44, 4), "????");
    EXPECT_EQ(rows[4].substr(49),
              "Eccezione ItemNotFoundException: Oggetto inesistente: 'LAMPADA'\r");
    EXPECT_EQ(rows[5].substr(49), "Eccezione runtime_error: boom\r");
}

TEST_F(LogTest, LevelsAndLineEnds) {
    Log log(dir.file("logs/"), false);
    EXPECT_EQ(log.getPath(), dir.path() + "/logs/");
    for (const auto& [name, level] :
         std::vector<std::pair<std::string, int>>{{" warn ", Log::WARN},
                                                  {"Fail", Log::FAIL},
                                                  {"INFO", Log::INFO},
                                                  {"verbose", Log::INFO},
                                                  {"", Log::INFO},
                                                  {"WARN", Log::WARN}}) {
        log.setLevel(name);
        EXPECT_EQ(log.getLevel(), level) << name;
    }
    log.write("Main", Log::INFO, "hidden");
    EXPECT_TRUE(test::listDir(dir.file("logs")).empty());
    log.write("Main", Log::WARN, "shown");
    EXPECT_EQ(today("logs", log).substr(49), "shown\n");
}

// A file moved or removed is made again at an entry a moment later.
TEST_F(LogTest, MovedOrRemovedFilesAreOpenedAgain) {
    auto later = [] { std::this_thread::sleep_for(Log::RECHECK + std::chrono::milliseconds(50)); };
    Log log(dir.file("logs"), false);
    log.write("Main", Log::INFO, "uno");
    std::string file = dir.file("logs") + "/" + log.getFileName();
    std::rename(file.c_str(), (file + ".old").c_str());
    later();
    log.write("Main", Log::INFO, "due");
    EXPECT_EQ(test::readFile(file).substr(49), "due\n");
    std::remove(file.c_str());
    later();
    log.write("Main", Log::INFO, "tre");
    log.write("Main", Log::INFO, "quattro");
    EXPECT_EQ(test::readFile(file + ".old").substr(49), "uno\n");
    auto rows = test::lines(test::readFile(file));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(49), "tre");
    EXPECT_EQ(rows[1].substr(49), "quattro");
}

TEST_F(LogTest, GlobalLogAndFailures) {
    Log::writeG("Main", Log::FAIL, "nowhere"); // no global log: nothing happens
    EXPECT_TRUE(test::listDir(dir.file("logs")).empty());

    auto log = std::make_shared<Log>(dir.path() + "/", false);
    EXPECT_EQ(log->getPath(), dir.path() + "/");
    Log::setGlobalLog(log);
    Log::writeG("Main", Log::INFO, "here");
    EXPECT_EQ(today("", *log).substr(49), "here\n");

    Log missing(dir.file("no-such-dir"), false);
    testing::internal::CaptureStderr();
    missing.write("Main", Log::FAIL, "lost");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err.starts_with("IMPOSSIBILE APRIRE IL FILE DI LOG! system_error: ")) << err;
    EXPECT_FALSE(test::fileExists(dir.file("no-such-dir")));
}

TEST(DebugTest, TraceAndAssertions) {
    Debug::setGlobalDebug(nullptr);
    Debug::assertG(false, "(x > 0)"); // off: not checked
    testing::internal::CaptureStderr();
    Debug::traceG("silent");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    Debug::setGlobalDebug(std::make_shared<Debug>());
    try {
        Debug::assertG(false, "(x > 0)");
        ADD_FAILURE() << "no assertion";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Asserzione fallita: (x > 0)");
    }
    Debug::assertG(true, "(x > 0)");
    testing::internal::CaptureStderr();
    Debug::traceG("a trace");
    Debug::traceStackG(ItemNotFoundException("X"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err.starts_with("a trace\nEccezione ItemNotFoundException: Oggetto inesistente: "
                                "'X'\n\tat "))
        << err;
    EXPECT_NE(err.find("LogTest.cpp:"), std::string::npos) << err;
    Debug::setGlobalDebug(nullptr);
}

} // namespace
