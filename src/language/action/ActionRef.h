#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Runs the action bound to another key, resolved like a typed command.
class ActionRef : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setRef(const std::string& key) { _ref = key; }

    const std::string& getRef() const { return _ref; }

private:
    std::string _ref;
};

} // namespace zanfir
