// Fuzz target: action texts and descriptions, parsed against a small
// adventure's dictionary and bindings.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Main.h"
#include "language/Description.h"
#include "runtime/Errors.h"
#include "world/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zanfir::Main* main = [] {
        auto* engine = new zanfir::Main("castello", FUZZ_ADVENTURE, true, false, false);
        engine->load();
        return engine;
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        main->parseAction(text);
    } catch (const zanfir::Exception&) {
    }
    try {
        zanfir::Description description(*main, text, true);
    } catch (const zanfir::Exception&) {
    }
    return 0;
}
