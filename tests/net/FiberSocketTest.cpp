#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include <boost/asio/error.hpp>
#include <boost/beast/core/error.hpp>

#include "net/FiberSocket.h"
#include "runtime/Fibers.h"

using zanfir::Fibers;
using zanfir::FiberSocket;
using namespace std::chrono_literals;
namespace asio = boost::asio;

namespace {

// Runs `body` in a fiber and waits for it.
void inFiber(const std::function<void()>& body) {
    Fibers fibers(1);
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    fibers.spawn([&] {
        body();
        std::lock_guard guard(lock);
        done = true;
        ended.notify_all();
    });
    std::unique_lock guard(lock);
    ASSERT_TRUE(ended.wait_for(guard, 30s, [&] { return done; }));
}

// Reads, writes, deadlines and held writes, on one end of a socket pair
// whose other end the test plays.
TEST(FiberSocketTest, ReadsWritesAndDeadlines) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    int peer = ends[1];
    std::string got, held;
    boost::system::error_code late, ended, stuck, released;
    std::size_t written = 0;
    inFiber([&] {
        FiberSocket socket(ends[0]);
        char buffer[64];
        // Nothing comes: the read fails at its deadline.
        socket.expiresAfter(50ms);
        socket.awaitReply();
        EXPECT_EQ(socket.read_some(asio::buffer(buffer), late), 0u);
        // What comes is read, whether awaited or not.
        socket.expiresNever();
        EXPECT_EQ(::write(peer, "ciao", 4), 4);
        socket.awaitReply();
        std::size_t n = socket.read_some(asio::buffer(buffer));
        got.assign(buffer, n);
        // Held writes leave together, in order, at the release.
        socket.hold();
        socket.write_some(asio::buffer(std::string("uno ")));
        socket.write_some(asio::buffer(std::string("due")));
        char none;
        EXPECT_EQ(::recv(peer, &none, 1, MSG_DONTWAIT), -1); // nothing yet
        socket.release(released);
        n = static_cast<std::size_t>(::recv(peer, buffer, sizeof buffer, 0));
        held.assign(buffer, n);
        // A peer that reads nothing: writes stop at the deadline.
        std::string lot(1 << 16, 'x');
        socket.expiresAfter(100ms);
        for (int i = 0; i < 100 && !stuck; ++i)
            written += socket.write_some(asio::buffer(lot), stuck);
        // The peer gone: the read ends.
        ::close(peer);
        socket.expiresNever();
        socket.read_some(asio::buffer(buffer), ended);
    });
    EXPECT_EQ(late, boost::beast::error::timeout);
    EXPECT_EQ(got, "ciao");
    EXPECT_FALSE(released);
    EXPECT_EQ(held, "uno due");
    EXPECT_EQ(stuck, boost::beast::error::timeout);
    EXPECT_GT(written, 0u);
    EXPECT_TRUE(ended == asio::error::eof || ended == asio::error::connection_reset) << ended;
}

} // namespace
