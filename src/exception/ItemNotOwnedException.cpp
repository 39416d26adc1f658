#include "exception/ItemNotOwnedException.h"

#include "T.h"

namespace zanfir {

ItemNotOwnedException::ItemNotOwnedException(std::string item, std::source_location where)
    : Exception(T::ItemOwnedByOtherUser + item + T::QuoteEnd, where), _item(std::move(item)) {}

} // namespace zanfir
