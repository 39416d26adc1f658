#include "language/action/Tell.h"

#include "T.h"
#include "engine/Adventure.h"
#include "runtime/Input.h"
#include "util/Util.h"
#include "world/Phrase.h"
#include "world/User.h"

namespace zanfir {

bool Tell::run(const Execution& now) {
    Adventure& session = now.session;
    std::vector<std::shared_ptr<User>> hearers;
    std::string prompt;
    if (now.phrase->isVerbOnly()) {
        for (const auto& item : session.getItemsHere())
            if (auto player = std::dynamic_pointer_cast<User>(item))
                hearers.push_back(player);
        prompt = T::WhatDoIHaveToSay;
    } else {
        auto player = std::dynamic_pointer_cast<User>(session.findItem(now.phrase->item()));
        if (player && !session.isItemPresent(*player)) {
            println(now, T::NotHereNow);
            return true;
        }
        if (player)
            hearers.push_back(player);
        prompt = T::WhatDoIHaveToSayToHim;
    }
    if (hearers.empty()) {
        println(now, T::GettingMad);
        return true;
    }
    std::string text = Util::trim(readln(now, prompt));
    if (!text.empty() && session.in().isAlive())
        for (const auto& hearer : hearers)
            hearer->putQuote(session.user(), text);
    return true;
}

} // namespace zanfir
