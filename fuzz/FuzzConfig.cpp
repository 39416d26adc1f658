// Fuzz target: the definition-file reader.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "runtime/Errors.h"
#include "world/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = "/tmp/zanfir-fuzz-config-" + std::to_string(::getpid());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        zanfir::Config config(file);
        for (const auto& section : config.sections())
            for (const auto& name : config.variables(section))
                config.get(name, section);
        for (const auto& name : config.variables())
            config.getN(name);
    } catch (const zanfir::Exception&) {
    }
    return 0;
}
