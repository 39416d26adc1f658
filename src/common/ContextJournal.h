#pragma once

#include <string>

#include "common/Context.h"

namespace zanfir {

// Hears every change of a context tree it is attached to (Context::attach):
// a value stored under a path from the root, or removed. Each change is
// told under the lock of the context that holds it, so the changes of one
// path come in the order they were made.
class ContextJournal {
public:
    virtual ~ContextJournal() = default;

    // `value` is what now stands under the path (a nested context whole), or
    // none when the name was removed.
    virtual void changed(const std::string& path, const Context::Value* value) = 0;
};

} // namespace zanfir
