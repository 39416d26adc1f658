#pragma once

namespace zanfir {

// A mutable flag holder for in/out parameters.
class BooleanRef {
public:
    BooleanRef() = default;
    explicit BooleanRef(bool value) : ref(value) {}
    bool ref = false;
};

} // namespace zanfir
