#pragma once

#include <string>

#include "state/Context.h"

namespace zanfir {

// Hears every change of a context tree it is attached to (Context::attach).
// Each change is told under the lock of the context that holds it, so the
// changes of one path come in the order they were made.
class ContextJournal {
public:
    virtual ~ContextJournal() = default;

    // Whether it is told each change by its path from the root (changed),
    // or where it was made (changedIn), which costs no path.
    virtual bool byPath() const { return true; }
    // `value` is what now stands under the path (a nested context whole), or
    // none when the name was removed.
    virtual void changed(const std::string& /*path*/, const Context::Value* /*value*/) {}
    // The name of `holder` now holds `now`, and held `before` (none: no value).
    virtual void changedIn(Context& /*holder*/, const std::string& /*name*/,
                           const Context::Value* /*now*/, const Context::Value* /*before*/) {}
};

} // namespace zanfir
