#pragma once

#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include <boost/asio/buffer.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/beast/core/role.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

namespace zanfir {

class Waker;

// A connected socket that a fiber reads and writes as if it blocked: while
// it waits, its thread serves other fibers (Fibers::poll). A read or write
// still waiting at the deadline fails with beast::error::timeout. It is a
// synchronous stream for Beast (HTTP, WebSocket); the executor it gives is
// an idle one's, only there for the types that want one.
class FiberSocket {
public:
    using Clock = std::chrono::steady_clock;
    using executor_type = boost::asio::io_context::executor_type;

    // Room kept for what waits between two releases.
    static constexpr std::size_t KEPT_BYTES = 4096;

    // Owns `fd` from now on, and makes it non-blocking.
    explicit FiberSocket(int fd);
    ~FiberSocket();
    FiberSocket(FiberSocket&& other) noexcept;
    FiberSocket& operator=(FiberSocket&&) = delete;
    FiberSocket(const FiberSocket&) = delete;
    FiberSocket& operator=(const FiberSocket&) = delete;

    int native_handle() const { return _fd; }
    executor_type get_executor() const;

    void expiresAfter(std::chrono::milliseconds time) { _deadline = Clock::now() + time; }
    void expiresAt(Clock::time_point deadline) { _deadline = deadline; }
    void expiresNever() { _deadline = Clock::time_point::max(); }
    Clock::time_point deadline() const { return _deadline; }
    // A wake of `waker` while a read waits runs `handler` in the reading
    // fiber, which then waits on; the waker outlives the reads.
    void wakeWith(Waker* waker, std::function<void()> handler) {
        _waker = waker;
        _on_wake = std::move(handler);
    }

    template <class Buffers>
    std::size_t read_some(const Buffers& buffers, boost::system::error_code& error) {
        Pieces pieces(buffers);
        return transfer(pieces, false, error);
    }
    template <class Buffers>
    std::size_t write_some(const Buffers& buffers, boost::system::error_code& error) {
        Pieces pieces(buffers);
        return transfer(pieces, true, error);
    }
    template <class Buffers>
    std::size_t read_some(const Buffers& buffers) {
        return orThrow([&](auto& error) { return read_some(buffers, error); });
    }
    template <class Buffers>
    std::size_t write_some(const Buffers& buffers) {
        return orThrow([&](auto& error) { return write_some(buffers, error); });
    }

    // Writes it all, within the deadline; false (and `error`) when it cannot.
    bool writeAll(const void* data, std::size_t size, boost::system::error_code& error);
    // From now on what is written waits, to leave in one go at release():
    // several messages, one call and one packet.
    void hold() { _held = true; }
    // Sends what waited, within the deadline, and writes at once again.
    void release(boost::system::error_code& error);
    // The next read waits for the socket before it tries: nothing can have
    // come yet (the peer answers what was just sent).
    void awaitReply() { _await = true; }

private:
    // A buffer sequence as the system takes it.
    struct Pieces {
        static constexpr int MOST = 16;
        iovec pieces[MOST];
        int count = 0;
        template <class Buffers>
        explicit Pieces(const Buffers& buffers) {
            for (auto it = boost::asio::buffer_sequence_begin(buffers);
                 it != boost::asio::buffer_sequence_end(buffers) && count < MOST; ++it) {
                boost::asio::const_buffer piece(*it);
                if (piece.size() > 0)
                    pieces[count++] = {const_cast<void*>(piece.data()), piece.size()};
            }
        }
    };

    // Reads into or writes from the pieces what can be, waiting for the
    // socket when nothing can; 0 with `error` set when it fails.
    std::size_t transfer(Pieces& pieces, bool out, boost::system::error_code& error);

    template <class Call>
    static std::size_t orThrow(Call call) {
        boost::system::error_code error;
        std::size_t done = call(error);
        if (error)
            throw boost::system::system_error(error);
        return done;
    }

    int _fd;
    Clock::time_point _deadline = Clock::time_point::max();
    Waker* _waker = nullptr;
    std::function<void()> _on_wake;
    bool _held = false;
    bool _await = false;
    std::string _waiting; // written while held

    // Beast's WebSocket closes the socket through this when its closing
    // handshake is done: our end of it shut, what the peer still sends read
    // until it shuts its own (within the deadline).
    friend void teardown(boost::beast::role_type role, FiberSocket& socket,
                         boost::system::error_code& error);
};

void teardown(boost::beast::role_type role, FiberSocket& socket, boost::system::error_code& error);

} // namespace zanfir
