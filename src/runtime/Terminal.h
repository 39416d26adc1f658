#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace zanfir {

// Where one session reads its player's lines and writes its text: the
// console, a TCP connection. What is written waits in the terminal until
// it is flushed, which every read does first, so the player sees the
// prompt before the session waits.
class Terminal {
public:
    // A window narrower is taken as this wide; wider, as this wide.
    static constexpr int MIN_WIDTH = 20, MAX_WIDTH = 1000;

    virtual ~Terminal() = default;

    // One line with its terminator, at most `cap` bytes: a longer line
    // comes in pieces. `hidden` masks what the terminal echoes. At the end of
    // the input, or on an error, the terminal is dead and what was gathered
    // is returned.
    virtual std::string readLine(bool hidden, std::size_t cap) = 0;
    virtual bool isAlive() const = 0;
    virtual void write(const std::string& bytes) = 0;
    // Sends what was written; errors are ignored.
    virtual void flush() = 0;
    // Ends the connection: reads end, writes go nowhere. May be called from
    // another thread and more than once.
    virtual void close() = 0;
    // Ends the input only: a read in progress returns, what is written still
    // leaves. May be called from another thread.
    virtual void endInput() {}
    // The width of the player's window when the terminal knows it (within
    // MIN_WIDTH and MAX_WIDTH), else 0.
    virtual int width() const { return 0; }
    // Whether the player's side wraps the text to its width itself.
    virtual bool wraps() const { return false; }
    // A page that can take its player up again after a reload: the token it
    // presented when it connected (empty: none), and whether it keeps a new
    // one, given with giveResumeToken.
    virtual std::string resumeTokenGiven() const { return ""; }
    virtual bool keepsResumeTokens() const { return false; }
    virtual void giveResumeToken(const std::string& token) { (void)token; }
    // Where the player is, and how many play in the shared world (0 in a
    // world of one's own), for a terminal that shows it beside the text
    // (showsStatus).
    virtual bool showsStatus() const { return false; }
    virtual void status(const std::string& place, std::size_t online) {
        (void)place;
        (void)online;
    }
    // Text for the player at any moment, for a terminal whose client shows
    // it while its player types (takesLiveText): wake(), from any thread,
    // has a read in progress (or the next one) run the handler given to
    // onLive in the session's own fiber, send what it wrote, and read on.
    virtual bool takesLiveText() const { return false; }
    virtual void wake() {}
    void onLive(std::function<void()> handler) { _on_live = std::move(handler); }
    // From now on reads give up, telling the player and ending the
    // terminal, when nothing has come for `idle` (zero: never), or at
    // `deadline`. A terminal of the machine's own user ignores this.
    virtual void limitReads(std::chrono::milliseconds idle,
                            std::chrono::steady_clock::time_point deadline) {
        (void)idle;
        (void)deadline;
    }

protected:
    // Runs the session's handler for live text, if it gave one.
    void live() {
        if (_on_live)
            _on_live();
    }

private:
    std::function<void()> _on_live;
};

} // namespace zanfir
