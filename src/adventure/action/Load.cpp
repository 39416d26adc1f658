#include "adventure/action/Load.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "common/Log.h"
#include "exception/SerializationException.h"

namespace zanfir {

bool Load::run(const Execution& now) {
    Adventure& session = now.session;
    try {
        if (session.deserialize())
            return true;
    } catch (const SerializationException& error) {
        Log::writeG(session.entity(), Log::WARN, error);
    }
    println(now, T::FileAccessError);
    return false;
}

} // namespace zanfir
