#pragma once

#include "exception/Exception.h"

namespace zanfir {

class WordNotFoundException : public Exception {
public:
    explicit WordNotFoundException(std::string word,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getWord() const { return _word; }

private:
    std::string _word;
};

} // namespace zanfir
