#include <gtest/gtest.h>

#include <unistd.h>

#include "TestSupport.h"
#include "util/Util.h"

using namespace zanfir::test;

// The page in a real browser (headless chromium, driven by
// tests/browser/play.mjs): a new player logs in with the password masked and
// plays; a second page joins the shared world and sees the first player.
// The script's screenshots of the page are left beside the program, page-phone-light.png
// and the others (see play.mjs).
TEST(BrowserTest, ThePageInChromium) {
    std::string script = std::string(ZANFIR_SOURCE_DIR) + "/tests/browser/";
    if (::access("/usr/bin/chromium", X_OK) != 0 || ::access("/usr/bin/node", X_OK) != 0 ||
        ::access((script + "node_modules/puppeteer-core").c_str(), F_OK) != 0)
        GTEST_SKIP()
            << "chromium, node or puppeteer-core is not installed (make test installs them)";
    TempDir dir;
    std::string main = copyFixture("miniera", dir, true);
    int port = freePort(), web = freePort();
    writeFile(main, "RemotePort=" + std::to_string(port) + "\nWebPort=" + std::to_string(web) +
                        "\n" +
                        *zanfir::Util::replace(readFile(main), "RemotePort=", "//RemotePort="));
    Process server({main, "-server", "-mud"});
    ASSERT_TRUE(TcpClient(web).connected());
    std::string build = ZANFIR_BIN, shot = build.substr(0, build.rfind('/') + 1) + "page";
    RunResult run =
        runProgram("/usr/bin/node",
                   {script + "play.mjs", "http://127.0.0.1:" + std::to_string(web) + "/", shot}, "",
                   "", std::chrono::seconds(90));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
}
