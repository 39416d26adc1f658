#pragma once

#include <exception>
#include <memory>
#include <string>

namespace zanfir {

// The debug trace on standard error, and assertions that are checked only
// while it is on.
class Debug {
public:
    virtual ~Debug() = default;

    virtual void trace(const std::string& text);
    virtual void traceStack(const std::exception& error);
    // Throws Exception("Asserzione fallita: " + text) when the condition is
    // false. (`assert` is a macro in C++.)
    virtual void assertTrue(bool condition, const std::string& text);

    static void setGlobalDebug(std::shared_ptr<Debug> debug);
    static std::shared_ptr<Debug> getGlobalDebug();
    static void traceG(const std::string& text);
    // Whether the trace is on (to skip making its lines).
    static bool isOnG();
    // A line of the author's trace of what a command ran: "[traccia] " and
    // the text.
    static void stepG(const std::string& text);
    static void traceStackG(const std::exception& error);
    static void assertG(bool condition, const std::string& text);
};

} // namespace zanfir
