// Fuzz target: the state-file reader, and writing back what it read.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "runtime/Errors.h"
#include "state/Context.h"
#include "state/ContextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = "/tmp/zanfir-fuzz-context-" + std::to_string(::getpid());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        auto context = zanfir::ContextFile::read(file);
        zanfir::ContextFile::write(file, *context);
        zanfir::ContextFile::read(file);
    } catch (const zanfir::Exception&) {
    }
    return 0;
}
