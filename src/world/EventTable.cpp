#include "world/EventTable.h"

#include "world/Word.h"

namespace zanfir {

const std::vector<EventTable::Event>& EventTable::events() {
    static const std::vector<Event> table = {
        {"COMMAND-PROMPT-ENTER", Shape::Alone},
        {"COMMAND-PROMPT-EXIT", Shape::Alone},
        {"COMMAND-DO", Shape::Alone},
        {"COMMAND-UNKNOWN", Shape::Alone},
        {"ITEM-TAKE", Shape::Item},
        {"ITEM-DROP", Shape::Item},
        {"ITEM-HIDE", Shape::Item},
        {"ITEM-UNHIDE", Shape::Item},
        {"ITEM-SEEN", Shape::Item},
        {"LOCATION-ENTER", Shape::Location},
        {"LOCATION-EXIT", Shape::Location},
        {"LOCATION-SEEN", Shape::Location},
        {"ITEM-LOCATION-ENTER", Shape::ItemLocation},
        {"ITEM-LOCATION-EXIT", Shape::ItemLocation},
        {"LOCATION-ITEM-ENTER", Shape::LocationItem},
        {"LOCATION-ITEM-EXIT", Shape::LocationItem},
    };
    return table;
}

const EventTable::Event* EventTable::find(std::string_view type) {
    for (const auto& event : events())
        if (type == event.type)
            return &event;
    return nullptr;
}

std::optional<EventTable::Shape> EventTable::shapeOf(std::string_view first,
                                                     std::string_view second) {
    if (first == "COMMAND")
        return Shape::Alone;
    if (first == "ITEM")
        return second == "LOCATION" ? Shape::ItemLocation : Shape::Item;
    if (first == "LOCATION")
        return second == "ITEM" ? Shape::LocationItem : Shape::Location;
    return std::nullopt;
}

std::optional<std::string> EventTable::key(const std::string& type, Shape shape,
                                           const std::string& item, const std::string& location) {
    bool needsItem =
        shape == Shape::Item || shape == Shape::ItemLocation || shape == Shape::LocationItem;
    bool needsLocation =
        shape == Shape::Location || shape == Shape::ItemLocation || shape == Shape::LocationItem;
    if ((needsItem && item.empty()) || (needsLocation && location.empty()))
        return std::nullopt;
    switch (shape) {
    case Shape::Alone:
        return type;
    case Shape::Item:
        return type + ":" + item;
    case Shape::Location:
        return type + ":" + location;
    case Shape::ItemLocation:
        return type + ":" + item + ":" + location;
    case Shape::LocationItem:
        return type + ":" + location + ":" + item;
    }
    return std::nullopt;
}

std::vector<EventTable::Arguments> EventTable::lookups(Shape shape, const std::string& item,
                                                       const std::string& location) {
    std::vector<Arguments> keys;
    for (bool anyLocation : {false, true}) {
        for (bool anyItem : {false, true}) {
            std::string i = anyItem ? Word::ANY_WORD : item;
            std::string l = anyLocation ? Word::ANY_WORD : location;
            switch (shape) {
            case Shape::Alone:
                if (!anyItem && !anyLocation)
                    keys.emplace_back();
                break;
            case Shape::Item:
                if (!anyLocation)
                    keys.emplace_back(i, std::nullopt);
                break;
            case Shape::Location:
                if (!anyItem)
                    keys.emplace_back(l, std::nullopt);
                break;
            case Shape::ItemLocation:
                keys.emplace_back(i, l);
                break;
            case Shape::LocationItem:
                keys.emplace_back(l, i);
                break;
            }
        }
    }
    return keys;
}

std::pair<std::string, std::string> EventTable::itemAndLocation(std::string_view type,
                                                                const Arguments& arguments) {
    std::string first = arguments.first.value_or(""), second = arguments.second.value_or("");
    std::string_view prefix = type.substr(0, type.find('-'));
    if (prefix == "ITEM")
        return {first, second};
    if (prefix == "LOCATION")
        return {second, first};
    return {};
}

} // namespace zanfir
