#include "language/action/Save.h"

#include "T.h"
#include "engine/Adventure.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"

namespace zanfir {

bool Save::run(const Execution& now) {
    Adventure& session = now.session;
    try {
        if (session.savedGames().serialize()) {
            println(now, T::GameSaved);
            return true;
        }
    } catch (const SerializationException& error) {
        Log::writeG(session.entity(), Log::WARN, error);
    }
    println(now, T::FileWriteError);
    return false;
}

} // namespace zanfir
