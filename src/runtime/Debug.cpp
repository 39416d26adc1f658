#include "runtime/Debug.h"

#include <iostream>
#include <sstream>

#include "T.h"
#include "runtime/Errors.h"
#include "runtime/Log.h"

namespace zanfir {

namespace {
std::shared_ptr<Debug> global_debug;
}

void Debug::trace(const std::string& text) {
    std::cerr << text + "\n" << std::flush;
}

void Debug::traceStack(const std::exception& error) {
    std::ostringstream out;
    out << Log::describe(error) << '\n';
    if (auto own = dynamic_cast<const Exception*>(&error)) {
        const auto& where = own->where();
        out << "\tat " << where.function_name() << " (" << where.file_name() << ':' << where.line()
            << ")\n";
    }
    std::cerr << out.str() << std::flush;
}

void Debug::assertTrue(bool condition, const std::string& text) {
    if (!condition)
        throw Exception(T::AssertionFailed + text);
}

void Debug::setGlobalDebug(std::shared_ptr<Debug> debug) {
    global_debug = std::move(debug);
}

std::shared_ptr<Debug> Debug::getGlobalDebug() {
    return global_debug;
}

void Debug::traceG(const std::string& text) {
    if (global_debug)
        global_debug->trace(text);
}

bool Debug::isOnG() {
    return global_debug != nullptr;
}

void Debug::stepG(const std::string& text) {
    if (global_debug)
        global_debug->trace(T::TracePrefix + text);
}

void Debug::traceStackG(const std::exception& error) {
    if (global_debug)
        global_debug->traceStack(error);
}

void Debug::assertG(bool condition, const std::string& text) {
    if (global_debug)
        global_debug->assertTrue(condition, text);
}

} // namespace zanfir
