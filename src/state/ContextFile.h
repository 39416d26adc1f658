#pragma once

#include <memory>
#include <string>

#include "state/Context.h"

namespace zanfir {

// A context tree in a file: {"format": "zanfir-context", "version": 1,
// "context": {...}}, leaves being JSON strings, integers and booleans,
// nested contexts objects. A file is written to a temporary file in the
// same folder, synced and renamed over the old one, so that a crash in the
// middle of a write never loses what the file held before.
class ContextFile {
public:
    static std::string toText(const Context& context);
    // Throws SerializationException.
    static void write(const std::string& file, const Context& context);
    static void write(const std::string& file, const std::string& text);
    static std::shared_ptr<Context> read(const std::string& file);
    // Makes the entries of the folder of `file` durable: a rename, a new or
    // a removed file.
    static void syncFolder(const std::string& file);
    // Writes every byte to the descriptor; false, with errno set, when it
    // cannot (ENOSPC when nothing more is taken).
    static bool writeAll(int fd, const std::string& bytes);
    // Removes the temporary files that writes of `file` left behind when the
    // program was killed in the middle.
    static void removeLeftovers(const std::string& file);

    // One change of a tree on one line: a value stored under a path from the
    // root (a nested context whole), or the name under it removed (none).
    static std::string changeRecord(const std::string& path, const Context::Value* value);
    // Makes the change in the tree; throws SerializationException naming
    // `file` for a record that is none.
    static void applyChange(Context& root, const std::string& record, const std::string& file);
};

} // namespace zanfir
