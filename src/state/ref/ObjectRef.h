#pragma once

#include <any>
#include <memory>

namespace zanfir {

// A mutable object holder for in/out parameters; holds a shared_ptr of
// any type, or nothing.
class ObjectRef {
public:
    ObjectRef() = default;
    template <class Kind>
    explicit ObjectRef(std::shared_ptr<Kind> value) : ref(std::move(value)) {}

    // The object held, or nullptr when it is none or of another type.
    template <class Kind>
    std::shared_ptr<Kind> as() const {
        auto held = std::any_cast<std::shared_ptr<Kind>>(&ref);
        return held ? *held : nullptr;
    }

    std::any ref;
};

} // namespace zanfir
