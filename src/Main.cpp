#include "Main.h"

#include "T.h"
#include "common/Config.h"
#include "common/Context.h"
#include "common/Debug.h"
#include "common/Log.h"
#include "common/Util.h"

namespace zanfir {

namespace {
constexpr const char* ENTITY = "Main";
}

Main::Main(const std::string& name, const std::optional<std::string>& path, bool console,
           bool remote, bool multiuser)
    : _name(Util::toLower(Util::trim(name))), _path(path), _multiuser(multiuser), _remote(remote),
      _console(console) {
    _venture = std::make_shared<Config>(path, _name + ".zanfa");
    Config::setGlobalConfig(_venture);
}

Main::~Main() = default;

std::string Main::getBaseDir() const {
    return Config::getBaseDirG();
}

void Main::setDebugEnabled(bool flag) {
    Debug::setGlobalDebug(flag ? std::make_shared<Debug>() : nullptr);
    _debug = flag;
}

void Main::setLogEnabled(bool flag) {
    std::shared_ptr<Log> log;
    if (flag) {
        log =
            std::make_shared<Log>(Config::getGD("LogPath", "logs"),
                                  Util::equalsIgnoreCase(Config::getGD("LogCRLF", "TRUE"), "TRUE"));
        log->setLevel(Config::getGD("LogLevel", "INFO"));
    }
    Log::setGlobalLog(log);
    _log = flag;
}

void Main::setDumpEnabled(bool flag) {
    _dump = flag;
}

void Main::start() {
    Log::writeG(ENTITY, Log::INFO, T::Initialization);
}

} // namespace zanfir
