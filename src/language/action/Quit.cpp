#include "language/action/Quit.h"

#include "T.h"
#include "engine/Adventure.h"

namespace zanfir {

bool Quit::run(const Execution& now) {
    Adventure& session = now.session;
    if (session.askYesNoQuestion(T::SureWantToQuit)) {
        println(now);
        println(now, T::Goodbye);
        session.pressAnyKey();
        session.quit();
    }
    return true;
}

} // namespace zanfir
