#include "language/action/Load.h"

#include "T.h"
#include "engine/Adventure.h"
#include "engine/Main.h"
#include "engine/SavedGames.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"

namespace zanfir {

bool Load::run(const Execution& now) {
    Adventure& session = now.session;
    try {
        switch (session.savedGames().deserialize()) {
        case SavedGames::Loaded::YES:
            println(now, T::GameLoaded);
            return true;
        case SavedGames::Loaded::NONE: {
            bool shared = session.main().isMultiUser(); // nothing to load, and nothing lost
            println(now, shared ? T::SharedAlwaysSaved : T::NoSavedGame);
            return shared;
        }
        case SavedGames::Loaded::REFUSED:
            break;
        }
    } catch (const SerializationException& error) {
        Log::writeG(session.entity(), Log::WARN, error);
    }
    println(now, T::FileAccessError);
    return false;
}

} // namespace zanfir
