#pragma once

#include "exception/Exception.h"

namespace zanfir {

class ConfigNotFoundException : public Exception {
public:
    explicit ConfigNotFoundException(std::string path,
                                     SourceLocation where = SourceLocation::current());
    const std::string& getPath() const { return _path; }

private:
    std::string _path;
};

} // namespace zanfir
