// Fuzz target: the line reader of a connection, fed through a socket pair,
// with echo and with masking.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "net/SocketTerminal.h"
#include "runtime/Input.h"
#include "runtime/Output.h"
#include "runtime/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fd) != 0)
        return 0;
    // What the reader is fed; the peer then hangs up.
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::send(fd[1], data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::shutdown(fd[1], SHUT_WR);
    {
        auto terminal =
            std::make_shared<zanfir::SocketTerminal>(fd[0], zanfir::Settings()); // owns fd[0]
        zanfir::Output out(terminal, true, zanfir::Settings());
        zanfir::Input in(terminal, out, zanfir::Input::MAX_LINE);
        for (bool hidden = false; in.isAlive(); hidden = !hidden) {
            in.readln(hidden);
            char sink[65536];
            while (::recv(fd[1], sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
        }
    }
    ::close(fd[1]);
    return 0;
}
