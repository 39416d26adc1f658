#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/Fibers.h"
#include "state/ContextJournal.h"

namespace zanfir {

// The changes of a context tree appended to a file as they are made, each
// on a line of its own after its checksum. They are written when someone
// waits for them to be durable: one write and one fdatasync for all the
// changes made meanwhile (group commit), so that waiting costs one sync
// however many players wait. A thread of its own writes what nobody waits
// for. A crash can cut the last line short; replay stops at the first line
// that is damaged.
//
// When writing fails (no room, no permission) error() says why, durability
// is not waited for, and changes are dropped until the next rotate(): the
// checkpoint that follows one holds them.
class JournalFile : public ContextJournal {
public:
    // How a batch reaches the file and the disk; false, with errno set, when
    // it does not. By default writeAndSync; a test holds a write in flight,
    // or fails it.
    using Write = std::function<bool(int fd, const std::string& batch)>;
    // Writes the batch whole, then syncs it (fdatasync).
    static bool writeAndSync(int fd, const std::string& batch);

    // Appends to `file`, made when missing. Throws SerializationException.
    explicit JournalFile(std::string file, Write write = {});
    // Writes what is pending, then closes.
    ~JournalFile() override;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    void changed(const std::string& path, const Context::Value* value) override;
    // Returns once every change told so far is on the disk; at once while
    // writing fails. A fiber that waits gives its thread up meanwhile.
    void awaitDurable();
    // Moves what was written so far to file + ".old" and goes on in a new
    // file; every change numbered so far is in the old one. Throws
    // SerializationException, leaving the file as it was.
    void rotate();
    // Bytes in the current file.
    std::uint64_t size();
    // How many syncs so far.
    std::uint64_t syncs();
    // Why writing fails now; empty while it works.
    std::string error();

    // Makes the changes of a journal file in the tree, in order, up to the
    // first line cut short or damaged; the number made. Throws
    // SerializationException when the file cannot be read.
    static std::size_t replay(const std::string& file, Context& root);

private:
    static constexpr std::size_t BATCH_BYTES = 1 << 20; // written without waiting for a wish

    void run();
    // Writes what is pending and syncs it, and wakes those waiting for it.
    // Holds the lock on entry and on return, not while writing; one flush at
    // a time.
    void flush(std::unique_lock<std::mutex>& guard);
    // Writes the batch and syncs it; false when it failed.
    bool writeOut(const std::string& batch);
    void rotateNow();
    void fail(const std::string& what);
    void open();

    const std::string _file;
    const Write _write;
    int _fd = -1;
    std::mutex _lock;
    std::condition_variable _work; // changes to write, or a rotation, or the end
    Fibers::Condition _written;    // durability or a rotation done
    std::string _pending;          // records not yet written
    std::uint64_t _numbered = 0;   // the last change numbered
    std::uint64_t _durable = 0;    // the last change on the disk (or lost)
    bool _flushing = false;
    std::uint64_t _size = 0;
    std::uint64_t _syncs = 0;
    bool _failing = false;
    std::string _error;
    bool _dropping = false; // a batch was lost: nothing is written until a rotation
    bool _rotate = false;
    std::uint64_t _rotations = 0;
    std::string _rotate_error;
    bool _stop = false;
    std::thread _writer;
};

} // namespace zanfir
