#include "adventure/action/Save.h"

#include "T.h"
#include "adventure/Adventure.h"
#include "common/Log.h"
#include "exception/SerializationException.h"

namespace zanfir {

bool Save::run(const Execution& now) {
    Adventure& session = now.session;
    try {
        if (session.serialize())
            return true;
    } catch (const SerializationException& error) {
        Log::writeG(session.entity(), Log::WARN, error);
    }
    println(now, T::FileWriteError);
    return false;
}

} // namespace zanfir
