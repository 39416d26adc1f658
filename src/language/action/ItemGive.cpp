#include "language/action/ItemGive.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/Description.h"
#include "util/Util.h"
#include "world/Item.h"
#include "world/Phrase.h"
#include "world/User.h"

namespace zanfir {

bool ItemGive::run(const Execution& now) {
    Adventure& session = now.session;
    auto item = _item == "*" ? session.findItem(now.phrase->itemAt(0)) : session.item(_item);
    std::string to = _receiver == "*" ? now.phrase->itemAt(1) : _receiver;
    auto player = std::dynamic_pointer_cast<User>(to.empty() ? nullptr : session.findItem(to));
    if (!item || !session.isItemCarried(*item)) {
        println(now, T::DontHaveIt);
    } else if (!player || !session.isItemUser(*player)) {
        println(now, T::NoUseForIt);
    } else if (session.isItemMyself(*player)) {
        println(now, T::AlreadyHaveIt);
    } else if (!session.isItemPresent(*player)) {
        println(now, T::NotHereNow);
    } else if (item->handTo(session, *session.context(), player->id())) {
        const std::string& text = item->descr().text();
        std::string what = text.find('{') == std::string::npos ? text : Util::toLower(item->name());
        println(now, T::GivenTo + player->descr().text() + T::GivenToX);
        player->putNotice("- " + session.userName() + T::GivesYou + what + ".");
    } else {
        println(now, T::DontHaveIt); // given or dropped meanwhile
    }
    return true;
}

} // namespace zanfir
