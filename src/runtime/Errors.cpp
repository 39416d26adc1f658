#include "runtime/Errors.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

#include "T.h"

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

ActionDeclarationException::ActionDeclarationException(std::string when, SourceLocation where)
    : Exception(T::ActionErrorInDeclaration + when + T::QuoteEnd, where), _when(std::move(when)) {}

ActionSyntaxException::ActionSyntaxException(std::string what, SourceLocation where)
    : Exception(std::string(T::ActionErrorInCommand) + ": '" + what + T::QuoteEnd, where),
      _what(std::move(what)) {}

ActionSyntaxException::ActionSyntaxException(std::string what, const std::string& reason,
                                             SourceLocation where)
    : Exception(std::string(T::ActionErrorInCommand) + " (" + reason + "): '" + what + T::QuoteEnd,
                where),
      _what(std::move(what)) {}

CommandStoppedException::CommandStoppedException(std::string limit, SourceLocation where)
    : Exception(T::CommandStopped + limit + T::QuoteEnd, where), _limit(std::move(limit)) {}

ConfigNotFoundException::ConfigNotFoundException(std::string path, SourceLocation where)
    : Exception(T::ConfigNotFound + path + T::QuoteEnd, where), _path(std::move(path)) {}

ConfigSyntaxException::ConfigSyntaxException(std::string line, SourceLocation where)
    : Exception(T::ConfigErrorInLine + line + T::QuoteEnd, where), _line(std::move(line)) {}

EventDeclarationException::EventDeclarationException(std::string name, SourceLocation where)
    : Exception(T::EventErrorInDeclaration + name + T::QuoteEnd, where), _name(std::move(name)) {}

ExpressionException::ExpressionException(const std::string& reason, std::string expression,
                                         SourceLocation where)
    : Exception(reason + ": '" + expression + T::QuoteEnd, where),
      _expression(std::move(expression)) {}

ItemNotFoundException::ItemNotFoundException(std::string item, SourceLocation where)
    : Exception(T::ItemNotFound + item + T::QuoteEnd, where), _item(std::move(item)) {}

ItemNotOwnedException::ItemNotOwnedException(std::string item, SourceLocation where)
    : Exception(T::ItemOwnedByOtherUser + item + T::QuoteEnd, where), _item(std::move(item)) {}

LocationNotFoundException::LocationNotFoundException(std::string location, SourceLocation where)
    : Exception(T::LocationNotFound + location + T::QuoteEnd, where),
      _location(std::move(location)) {}

LoginRefusedException::LoginRefusedException(std::string message, bool wrongPassword,
                                             SourceLocation where)
    : Exception(std::move(message), where), _wrong_password(wrongPassword) {}

MessageDeclarationException::MessageDeclarationException(std::string name, SourceLocation where)
    : Exception(T::MessageErrorInDeclaration + name + T::QuoteEnd, where), _name(std::move(name)) {}

MessageNotFoundException::MessageNotFoundException(std::string message, SourceLocation where)
    : Exception(T::MessageNotFound + message + T::QuoteEnd, where), _message(std::move(message)) {}

NumberFormatException::NumberFormatException(std::string text, SourceLocation where)
    : Exception(T::InvalidNumber + text + T::QuoteEnd, where), _text(std::move(text)) {}

RemoteConnectionException::RemoteConnectionException(std::string message, SourceLocation where)
    : Exception(std::move(message), where) {}

SerializationException::SerializationException(std::string detail, SourceLocation where)
    : Exception(detail, where), _detail(std::move(detail)) {}

TypeMismatchException::TypeMismatchException(std::string name, SourceLocation where)
    : Exception(T::TypeMismatch + name + T::QuoteEnd, where), _name(std::move(name)) {}

VerbNotFoundException::VerbNotFoundException(std::string verb, SourceLocation where)
    : Exception(T::VerbNotDefined + verb + T::QuoteEnd, where), _verb(std::move(verb)) {}

WordNotFoundException::WordNotFoundException(std::string word, SourceLocation where)
    : Exception(T::WordNotDefined + word + T::QuoteEnd, where), _word(std::move(word)) {}

} // namespace zanfir
