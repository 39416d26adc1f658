#pragma once

#include <string>

#include "language/Action.h"

namespace zanfir {

// Sets a player variable to a value, to the answer of a yes/no question, or
// to a random whole number.
class VarSet : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setVariable(const std::string& name) { _variable = name; }
    virtual void setValue(const std::string& text) { _value = text; }
    virtual void setAsk(bool flag) { _ask = flag; }
    virtual void setRandom(bool flag) { _random = flag; }

    const std::string& getVariable() const { return _variable; }
    const std::string& getValue() const { return _value; }
    bool isAsk() const { return _ask; }
    bool isRandom() const { return _random; }

private:
    std::string draw();

    std::string _variable;
    std::string _value;
    bool _ask = false;
    bool _random = false;
};

} // namespace zanfir
