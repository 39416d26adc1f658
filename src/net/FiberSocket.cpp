#include "net/FiberSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <boost/asio/error.hpp>
#include <boost/beast/core/error.hpp>

#include "runtime/Fibers.h"
#include "runtime/Waker.h"

namespace zanfir {

FiberSocket::FiberSocket(int fd) : _fd(fd) {
    ::fcntl(_fd, F_SETFL, ::fcntl(_fd, F_GETFL) | O_NONBLOCK);
}

FiberSocket::~FiberSocket() {
    if (_fd >= 0)
        ::close(_fd);
}

FiberSocket::FiberSocket(FiberSocket&& other) noexcept
    : _fd(std::exchange(other._fd, -1)), _deadline(other._deadline), _waker(other._waker),
      _on_wake(std::move(other._on_wake)) {}

FiberSocket::executor_type FiberSocket::get_executor() const {
    static boost::asio::io_context idle; // nothing is ever run on it
    return idle.get_executor();
}

std::size_t FiberSocket::transfer(Pieces& pieces, bool out, boost::system::error_code& error) {
    error = {};
    if (pieces.count == 0)
        return 0;
    if (out && _held) {
        std::size_t size = 0;
        for (int i = 0; i < pieces.count; ++i) {
            _waiting.append(static_cast<const char*>(pieces.pieces[i].iov_base),
                            pieces.pieces[i].iov_len);
            size += pieces.pieces[i].iov_len;
        }
        return size;
    }
    // A reply awaited cannot have come yet: the first try would be wasted.
    for (bool now = out || !std::exchange(_await, false);; now = true) {
        if (now) {
            msghdr message{};
            message.msg_iov = pieces.pieces;
            message.msg_iovlen = static_cast<std::size_t>(pieces.count);
            ssize_t done =
                out ? ::sendmsg(_fd, &message, MSG_NOSIGNAL) : ::recvmsg(_fd, &message, 0);
            if (done > 0)
                return static_cast<std::size_t>(done);
            if (done == 0) { // only a read ends so
                error = boost::asio::error::eof;
                return 0;
            }
            if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                error.assign(errno, boost::system::system_category());
                return 0;
            }
        }
        int timeout = -1;
        if (_deadline != Clock::time_point::max()) {
            auto left =
                std::chrono::ceil<std::chrono::milliseconds>(_deadline - Clock::now()).count();
            if (left <= 0) {
                error = boost::beast::error::timeout;
                return 0;
            }
            timeout = static_cast<int>(std::min<long long>(left, 60 * 60 * 1000));
        }
        bool woken = false;
        int ready = out || !_waker ? Fibers::poll(_fd, out ? POLLOUT : POLLIN, timeout)
                                   : _waker->poll(_fd, POLLIN, timeout, woken);
        if (woken && _on_wake)
            _on_wake();
        if (ready < 0 && errno != EINTR) {
            error.assign(errno, boost::system::system_category());
            return 0;
        }
    }
}

bool FiberSocket::writeAll(const void* data, std::size_t size, boost::system::error_code& error) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t sent = write_some(boost::asio::buffer(bytes, size), error);
        if (error)
            return false;
        bytes += sent;
        size -= sent;
    }
    return true;
}

void FiberSocket::release(boost::system::error_code& error) {
    _held = false;
    error = {};
    writeAll(_waiting.data(), _waiting.size(), error);
    _waiting.clear();
    if (_waiting.capacity() > KEPT_BYTES) // thousands of idle clients keep nothing large
        std::string().swap(_waiting);
}

void teardown(boost::beast::role_type, FiberSocket& socket, boost::system::error_code& error) {
    ::shutdown(socket._fd, SHUT_WR);
    char rest[512];
    while (socket.read_some(boost::asio::buffer(rest), error) > 0) {
    }
    if (error == boost::asio::error::eof)
        error = {};
}

} // namespace zanfir
