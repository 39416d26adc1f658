#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ItemNotFoundException : public Exception {
public:
    explicit ItemNotFoundException(std::string item,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getItem() const { return _item; }

private:
    std::string _item;
};

} // namespace zanfir
