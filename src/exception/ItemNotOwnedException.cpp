#include "exception/ItemNotOwnedException.h"

#include "T.h"

namespace zanfir {

ItemNotOwnedException::ItemNotOwnedException(std::string item, SourceLocation where)
    : Exception(T::ItemOwnedByOtherUser + item + T::QuoteEnd, where), _item(std::move(item)) {}

} // namespace zanfir
