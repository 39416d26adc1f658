// Fuzz target: conditions, parsed and evaluated against a few variables.
#include <cstdint>
#include <string>

#include "language/Expression.h"
#include "runtime/Errors.h"
#include "state/Context.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    zanfir::Context context;
    context.setString("S", "testo");
    context.setInt("N", 5);
    context.setBoolean("B", true);
    context.setInt("USER.VARIABLES.P", 3);
    zanfir::Expression expression;
    try {
        expression.parse(text);
        expression.evaluate(context);
    } catch (const zanfir::Exception&) {
    }
    return 0;
}
