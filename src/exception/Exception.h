#pragma once

#include <exception>
#include <source_location>
#include <string>
#include <typeinfo>

namespace zanfir {

// Base of every error the program raises. Records where it was raised so
// that the debug trace can show it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message,
                       std::source_location where = std::source_location::current());

    // The class name without its namespace, e.g. "ConfigNotFoundException".
    virtual std::string className() const;
    const char* what() const noexcept override;
    const std::source_location& where() const noexcept { return _where; }

    // The name of a type without namespace or template arguments.
    static std::string classNameOf(const std::type_info& type);

private:
    std::string _message;
    std::source_location _where;
};

} // namespace zanfir
