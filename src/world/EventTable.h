#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zanfir {

// The events of an adventure: the types the session fires, the names their
// keys carry after the type (an item, a place, both, or none), and the
// order in which the keys are tried when one fires: the names as given
// first, then with the item and then the place replaced by "*". The loader
// builds declared keys with the same shapes, and the checker knows the
// types from here. A new event type is one row of the table.
class EventTable {
public:
    // The names a key carries after its type, in key order.
    enum class Shape { Alone, Item, Location, ItemLocation, LocationItem };
    struct Event {
        const char* type;
        Shape shape;
    };
    // The arguments of one key: the first and second name after the type.
    using Arguments = std::pair<std::optional<std::string>, std::optional<std::string>>;

    // The events the session fires.
    static const std::vector<Event>& events();
    // The event of a type, or none.
    static const Event* find(std::string_view type);
    // The shape of a declared type, from its first two words; none when the
    // first is neither COMMAND, ITEM nor LOCATION.
    static std::optional<Shape> shapeOf(std::string_view first, std::string_view second);
    // The key of a declared type with the item and place it names; none when
    // the shape needs a name that is empty.
    static std::optional<std::string> key(const std::string& type, Shape shape,
                                          const std::string& item, const std::string& location);
    // The keys to try, in order, when an event of that shape fires for an
    // item and a place.
    static std::vector<Arguments> lookups(Shape shape, const std::string& item,
                                          const std::string& location);
    // The item and the place that the arguments of a key of that type name;
    // empty for what it does not name.
    static std::pair<std::string, std::string> itemAndLocation(std::string_view type,
                                                               const Arguments& arguments);
};

} // namespace zanfir
