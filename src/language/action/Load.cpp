#include "language/action/Load.h"

#include "T.h"
#include "engine/Adventure.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"

namespace zanfir {

bool Load::run(const Execution& now) {
    Adventure& session = now.session;
    try {
        if (session.savedGames().deserialize())
            return true;
    } catch (const SerializationException& error) {
        Log::writeG(session.entity(), Log::WARN, error);
    }
    println(now, T::FileAccessError);
    return false;
}

} // namespace zanfir
