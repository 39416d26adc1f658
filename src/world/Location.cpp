#include "world/Location.h"

#include "language/Description.h"

namespace zanfir {

Location::Location(std::string name, std::shared_ptr<Description> descr,
                   std::shared_ptr<Description> longDescr, Exits exits)
    : _name(std::move(name)), _descr(std::move(descr)), _long_descr(std::move(longDescr)),
      _exits(std::move(exits)) {}

std::string Location::getNextByDirection(int direction) const {
    switch (direction) {
    case N:
        return _exits.north;
    case S:
        return _exits.south;
    case E:
        return _exits.east;
    case W:
        return _exits.west;
    case U:
        return _exits.up;
    case D:
        return _exits.down;
    default:
        return "";
    }
}

bool Location::equals(const Location* location) const {
    return location != nullptr && location->_name == _name;
}

} // namespace zanfir
