#include "adventure/action/What.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "adventure/Item.h"

namespace zanfir {

bool What::run() {
    println(T::YouHave);
    auto carried = adventure()->getItemsCarried();
    for (const auto& item : carried)
        println("- ", item->descr(), "");
    if (carried.empty())
        println(T::NothingAtAll);
    return true;
}

} // namespace zanfir
