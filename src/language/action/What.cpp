#include "language/action/What.h"

#include "T.h"
#include "engine/Adventure.h"
#include "world/Item.h"

namespace zanfir {

bool What::run(const Execution& now) {
    println(now, T::YouHave);
    auto carried = now.session.getItemsCarried();
    for (const auto& item : carried)
        println(now, "- ", item->descr(), "");
    if (carried.empty())
        println(now, T::NothingAtAll);
    return true;
}

} // namespace zanfir
