#include "common/Output.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/Config.h"
#include "common/Util.h"

namespace zanfir {

Output::Output(int stream, bool crlf)
    : _stream(stream), _crlf(crlf),
      _prefmt(Util::equalsIgnoreCase(Config::getGD("Preformatted", "FALSE"), "TRUE")) {}

void Output::write(const std::string& text) {
    // Sent before the next read: a turn's output is bounded by what the
    // turn prints, and a client that reads nothing never blocks a turn.
    _pending += text;
}

void Output::flush() {
    std::size_t done = 0;
    while (done < _pending.size()) {
        // send() never raises SIGPIPE; write() serves what is not a socket.
        ssize_t n = ::send(_stream, _pending.data() + done, _pending.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(_stream, _pending.data() + done, _pending.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    _pending.clear();
}

void Output::print(const std::string& text) {
    std::string out = _prefmt ? Util::lineEnds(text, _crlf) : Util::wordWrap(text, _crlf, _pos);
    auto lastBreak = out.rfind('\n');
    long pos = lastBreak == std::string::npos
                   ? _pos + static_cast<long>(Util::length(out))
                   : static_cast<long>(Util::length(std::string_view(out).substr(lastBreak + 1)));
    _pos = static_cast<int>(pos % Util::rowLength());
    write(out);
}

void Output::println(const std::string& text) {
    print(text + (_crlf ? "\r\n" : "\n"));
}

} // namespace zanfir
