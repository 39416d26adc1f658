#include "state/JournalFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "runtime/Errors.h"
#include "state/ContextFile.h"

namespace zanfir {

namespace {

// CRC-32 (the polynomial of zip and PNG) of a record.
std::uint32_t checksum(const std::string& text) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : text)
        crc = table[(crc ^ c) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

[[noreturn]] void systemError(const std::string& file) {
    throw SerializationException(file + ": " + std::strerror(errno));
}

} // namespace

bool JournalFile::writeAndSync(int fd, const std::string& batch) {
    return ContextFile::writeAll(fd, batch) && ::fdatasync(fd) == 0;
}

JournalFile::JournalFile(std::string file, Write write)
    : _file(std::move(file)), _write(write ? std::move(write) : writeAndSync) {
    open();
    _size = static_cast<std::uint64_t>(::lseek(_fd, 0, SEEK_END));
    _writer = std::thread([this] { run(); });
}

JournalFile::~JournalFile() {
    {
        std::lock_guard guard(_lock);
        _stop = true;
    }
    _work.notify_all();
    _writer.join();
    ::close(_fd);
}

void JournalFile::open() {
    _fd = ::open(_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (_fd < 0)
        systemError(_file);
    ContextFile::syncFolder(_file);
}

void JournalFile::changed(const std::string& path, const Context::Value* value) {
    std::string record = ContextFile::changeRecord(path, value);
    std::string line = hex8(checksum(record)) + " " + record + "\n";
    std::lock_guard guard(_lock);
    if (!_dropping) {
        _pending += line;
        if (_pending.size() >= BATCH_BYTES)
            _work.notify_one();
    }
    ++_numbered;
}

// The first to wait writes what is pending for all (group commit); those
// who come while it writes wait for it, then for the next write.
void JournalFile::awaitDurable() {
    std::unique_lock guard(_lock);
    std::uint64_t change = _numbered;
    while (_durable < change && !_failing && !_stop) {
        if (_flushing)
            _written.wait(guard, [&] { return !_flushing; });
        else if (!_pending.empty())
            flush(guard);
        else
            _durable = _numbered; // every change numbered was written, or dropped
    }
}

std::uint64_t JournalFile::size() {
    std::lock_guard guard(_lock);
    return _size;
}

std::uint64_t JournalFile::syncs() {
    std::lock_guard guard(_lock);
    return _syncs;
}

void JournalFile::rotate() {
    std::unique_lock guard(_lock);
    std::uint64_t done = _rotations + 1;
    _rotate = true;
    _rotate_error.clear();
    _work.notify_one();
    _written.wait(guard, [&] { return _rotations >= done || !_rotate_error.empty(); });
    if (!_rotate_error.empty())
        throw SerializationException(_rotate_error);
}

void JournalFile::flush(std::unique_lock<std::mutex>& guard) {
    _flushing = true;
    std::string batch = std::exchange(_pending, {});
    std::uint64_t upto = _numbered;
    guard.unlock();
    bool written = writeOut(batch);
    guard.lock();
    if (written) {
        _durable = upto;
        _size += batch.size();
        ++_syncs;
    } else {
        _dropping = true;
        _pending.clear();
    }
    _flushing = false;
    _written.notifyAll();
}

bool JournalFile::writeOut(const std::string& batch) {
    // A half line may stay behind a failed write: replay stops there, and
    // nothing more is written to this file.
    if (!_write(_fd, batch)) {
        fail(_file + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

void JournalFile::fail(const std::string& what) {
    std::lock_guard guard(_lock);
    if (_error.empty())
        _error = what;
    _failing = true;
}

std::string JournalFile::error() {
    std::lock_guard guard(_lock);
    return _failing ? _error : "";
}

void JournalFile::run() {
    std::unique_lock guard(_lock);
    for (;;) {
        // What nobody waits for is written at least once a second.
        _work.wait_for(guard, std::chrono::seconds(1),
                       [&] { return _pending.size() >= BATCH_BYTES || _rotate || _stop; });
        _written.wait(guard, [&] { return !_flushing; });
        if (!_pending.empty())
            flush(guard);
        if (_rotate)
            rotateNow();
        if (_stop && _pending.empty())
            return;
    }
}

// Under the lock, nothing pending that was numbered before rotate().
void JournalFile::rotateNow() {
    _rotate = false;
    std::string old = _file + ".old";
    int previous = _fd;
    if (::rename(_file.c_str(), old.c_str()) != 0) {
        _rotate_error = _file + ": " + std::strerror(errno);
    } else {
        try {
            open();
            ::close(previous);
            _size = 0;
            _dropping = _failing = false;
            _error.clear();
            ++_rotations;
        } catch (const SerializationException& error) {
            _fd = previous; // back where it was
            ::rename(old.c_str(), _file.c_str());
            _rotate_error = error.what();
        }
    }
    _written.notifyAll();
}

std::size_t JournalFile::replay(const std::string& file, Context& root) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw SerializationException(file + ": " + std::strerror(errno));
    std::size_t made = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof())
            break; // no line end: cut short by a crash
        if (line.size() < 10 || line[8] != ' ')
            break;
        std::string record = line.substr(9);
        if (line.compare(0, 8, hex8(checksum(record))) != 0)
            break;
        try {
            ContextFile::applyChange(root, record, file);
        } catch (const std::exception&) {
            break; // a change that fits no more: what follows would be wrong too
        }
        ++made;
    }
    return made;
}

} // namespace zanfir
