#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Context;

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
    // Removes the temporary files that writes of `file` left behind when the
    // program was killed in the middle.
    static void removeLeftovers(const std::string& file);
};

} // namespace zanfir
