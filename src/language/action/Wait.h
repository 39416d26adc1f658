#pragma once

#include <cstdint>

#include "language/Action.h"

namespace zanfir {

// Lets time pass: the session sleeps.
class Wait : public Action {
public:
    bool run(const Execution& now) override;
    virtual void setMillisec(std::int32_t millisec) { _millisec = millisec; }
    std::int32_t getMillisec() const { return _millisec; }

private:
    std::int32_t _millisec = 0;
};

} // namespace zanfir
