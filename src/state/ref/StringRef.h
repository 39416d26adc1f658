#pragma once

#include <optional>
#include <string>

namespace zanfir {

// A mutable string holder for in/out parameters.
class StringRef {
public:
    StringRef() = default;
    explicit StringRef(std::string value) : ref(std::move(value)) {}
    std::optional<std::string> ref;
};

} // namespace zanfir
