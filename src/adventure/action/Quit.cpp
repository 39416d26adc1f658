#include "adventure/action/Quit.h"

#include "T.h"
#include "adventure/Adventure.h"

namespace zanfir {

bool Quit::run() {
    Adventure& session = *adventure();
    if (session.askYesNoQuestion(T::SureWantToQuit)) {
        println();
        println(T::Goodbye);
        session.pressAnyKey();
        session.quit();
    }
    return true;
}

} // namespace zanfir
