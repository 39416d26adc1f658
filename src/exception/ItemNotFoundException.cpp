#include "exception/ItemNotFoundException.h"

#include "T.h"

namespace zanfir {

ItemNotFoundException::ItemNotFoundException(std::string item, SourceLocation where)
    : Exception(T::ItemNotFound + item + T::QuoteEnd, where), _item(std::move(item)) {}

} // namespace zanfir
