#include "world/Word.h"

#include "util/Util.h"
#include "world/Location.h"

namespace zanfir {

Word::Word(const std::string& word, int kind)
    : _word(Util::toUpper(Util::trim(word))), _kind(kind) {}

int Word::getDirection() const {
    static const std::pair<const char*, int> directions[] = {
        {NORTH, Location::N}, {SOUTH, Location::S}, {EAST, Location::E},
        {WEST, Location::W},  {UP, Location::U},    {DOWN, Location::D}};
    for (const auto& [word, bit] : directions)
        if (_word == word)
            return bit;
    return 0;
}

} // namespace zanfir
