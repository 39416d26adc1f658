#pragma once

#include <string>
#include <vector>

#include "language/Action.h"

namespace zanfir {

// Prints a declared message, or a line made of quoted texts, numbers and
// variables.
class MsgPrint : public Action {
public:
    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    virtual void setMessage(const std::string& name) { _msg = name; }
    virtual void setLineFeed(bool flag) { _linefeed = flag; }
    virtual void addString(const std::string& piece) { _strings.push_back(piece); }

    const std::string& getMessage() const { return _msg; }
    bool isLineFeed() const { return _linefeed; }
    const std::vector<std::string>& getStrings() const { return _strings; }

private:
    std::string _msg;
    bool _linefeed = false;
    std::vector<std::string> _strings;
};

} // namespace zanfir
