#include "exception/Exception.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace zanfir {

Exception::Exception(std::string message, SourceLocation where)
    : _message(std::move(message)), _where(where) {}

std::string Exception::className() const {
    return classNameOf(typeid(*this));
}

const char* Exception::what() const noexcept {
    return _message.c_str();
}

std::string Exception::classNameOf(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    if (auto angle = name.find('<'); angle != std::string::npos)
        name.erase(angle);
    if (auto colon = name.rfind("::"); colon != std::string::npos)
        name.erase(0, colon + 2);
    return name;
}

} // namespace zanfir
