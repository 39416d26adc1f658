#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ItemNotFoundException : public Exception {
public:
    explicit ItemNotFoundException(std::string item,
                                   std::source_location where = std::source_location::current());
    const std::string& getItem() const { return _item; }

private:
    std::string _item;
};

} // namespace zanfir
