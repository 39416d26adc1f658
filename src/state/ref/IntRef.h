#pragma once

#include <cstdint>

namespace zanfir {

// A mutable integer holder for in/out parameters.
class IntRef {
public:
    IntRef() = default;
    explicit IntRef(std::int32_t value) : ref(value) {}
    std::int32_t ref = 0;
};

} // namespace zanfir
