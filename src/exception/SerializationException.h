#pragma once

#include "exception/Exception.h"

namespace zanfir {

// A state file that cannot be written or read; the detail is the message.
class SerializationException : public Exception {
public:
    explicit SerializationException(std::string detail,
                                    SourceLocation where = SourceLocation::current());
    const std::string& getDetail() const { return _detail; }

private:
    std::string _detail;
};

} // namespace zanfir
