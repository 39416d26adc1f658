#include "tools/Spelling.h"

#include <algorithm>

namespace zanfir {

std::size_t Spelling::editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::optional<std::string> Spelling::meant(const std::string& name,
                                           const std::vector<std::string>& known) {
    std::optional<std::string> best;
    std::size_t closest = std::string::npos;
    for (const auto& each : known) {
        std::size_t distance = editDistance(name, each);
        bool near = distance <= (each.size() > 7 ? 2u : each.size() > 2 ? 1u : 0u);
        bool start = std::min(name.size(), each.size()) >= 4 &&
                     (name.starts_with(each) || each.starts_with(name));
        if ((near || start) && distance < closest) {
            best = each;
            closest = distance;
        }
    }
    return best;
}

} // namespace zanfir
