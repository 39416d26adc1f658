#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zanfir {

// Which known name an author plainly meant by one that is not known.
class Spelling {
public:
    // Letters to insert, delete, change or swap with the next to make one
    // name the other.
    static std::size_t editDistance(const std::string& a, const std::string& b);
    // The known name closest to `name` among those a letter apart (two for
    // a name of more than seven), or started by it, or its start; none when
    // there is no such name.
    static std::optional<std::string> meant(const std::string& name,
                                            const std::vector<std::string>& known);
};

} // namespace zanfir
