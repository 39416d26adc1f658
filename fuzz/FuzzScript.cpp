// Fuzz target: scripted-game texts, each step matched against the script's
// own lines as an answer.
#include <cstdint>
#include <string>

#include "runtime/Errors.h"
#include "tools/Script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        zanfir::Script script(text);
        auto answer = zanfir::Script::answerLines(text);
        for (const auto& step : script.steps()) {
            auto mismatch = zanfir::Script::match(step, answer);
            // A departure names an expectation or a line of the answer, always
            // one that exists.
            if (mismatch && ((mismatch->at && *mismatch->at >= answer.size()) ||
                             (!mismatch->expected && !mismatch->at)))
                __builtin_trap();
        }
    } catch (const zanfir::Exception&) {
    }
    return 0;
}
