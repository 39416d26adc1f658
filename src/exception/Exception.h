#pragma once

#include <exception>
#include <string>
#include <typeinfo>
#if __has_include(<source_location>)
#include <source_location>
#endif

namespace zanfir {

#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
// Compilers whose library lacks std::source_location (clang 14 with
// libstdc++ 12, used for fuzzing) record no place.
struct SourceLocation {
    static constexpr SourceLocation current() noexcept { return {}; }
    constexpr const char* file_name() const noexcept { return "?"; }
    constexpr const char* function_name() const noexcept { return "?"; }
    constexpr unsigned line() const noexcept { return 0; }
};
#endif

// Base of every error the program raises. Records where it was raised so
// that the debug trace can show it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message, SourceLocation where = SourceLocation::current());

    // The class name without its namespace, e.g. "ConfigNotFoundException".
    virtual std::string className() const;
    const char* what() const noexcept override;
    const SourceLocation& where() const noexcept { return _where; }

    // The name of a type without namespace or template arguments.
    static std::string classNameOf(const std::type_info& type);

private:
    std::string _message;
    SourceLocation _where;
};

} // namespace zanfir
