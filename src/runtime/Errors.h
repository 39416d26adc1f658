#pragma once

#include <exception>
#include <string>
#include <typeinfo>

#include "util/FilePlace.h"
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
    // Where in the adventure's files the failure stands, when known: set
    // by whoever knows it, the first time.
    const FilePlace& place() const noexcept { return _place; }
    void setPlace(FilePlace place) {
        if (!_place.known())
            _place = std::move(place);
    }

    // The name of a type without namespace or template arguments.
    static std::string classNameOf(const std::type_info& type);

private:
    std::string _message;
    SourceLocation _where;
    FilePlace _place;
};

class ActionDeclarationException : public Exception {
public:
    explicit ActionDeclarationException(std::string when,
                                        SourceLocation where = SourceLocation::current());
    const std::string& getWhen() const { return _when; }

private:
    std::string _when;
};

// A command of the action language that cannot be parsed.
class ActionSyntaxException : public Exception {
public:
    explicit ActionSyntaxException(std::string what,
                                   SourceLocation where = SourceLocation::current());
    ActionSyntaxException(std::string what, const std::string& reason,
                          SourceLocation where = SourceLocation::current());
    const std::string& getWhat() const { return _what; }

private:
    std::string _what;
};

// A command ran past a limit of the server (its steps, its output) and was
// stopped; the session goes on.
class CommandStoppedException : public Exception {
public:
    explicit CommandStoppedException(std::string limit,
                                     SourceLocation where = SourceLocation::current());

    const std::string& getLimit() const { return _limit; }

private:
    std::string _limit;
};

class ConfigNotFoundException : public Exception {
public:
    explicit ConfigNotFoundException(std::string path,
                                     SourceLocation where = SourceLocation::current());
    const std::string& getPath() const { return _path; }

private:
    std::string _path;
};

class ConfigSyntaxException : public Exception {
public:
    explicit ConfigSyntaxException(std::string line,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getLine() const { return _line; }

private:
    std::string _line;
};

class EventDeclarationException : public Exception {
public:
    explicit EventDeclarationException(std::string name,
                                       SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

// An expression that cannot be parsed or evaluated.
class ExpressionException : public Exception {
public:
    ExpressionException(const std::string& reason, std::string expression,
                        SourceLocation where = SourceLocation::current());
    const std::string& getExpression() const { return _expression; }

private:
    std::string _expression;
};

class ItemNotFoundException : public Exception {
public:
    explicit ItemNotFoundException(std::string item,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getItem() const { return _item; }

private:
    std::string _item;
};

class ItemNotOwnedException : public Exception {
public:
    explicit ItemNotOwnedException(std::string item,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getItem() const { return _item; }

private:
    std::string _item;
};

class LocationNotFoundException : public Exception {
public:
    explicit LocationNotFoundException(std::string location,
                                       SourceLocation where = SourceLocation::current());
    const std::string& getLocation() const { return _location; }

private:
    std::string _location;
};

// A login the engine cannot admit now; the message is told to the player,
// who may try another name.
class LoginRefusedException : public Exception {
public:
    explicit LoginRefusedException(std::string message, bool wrongPassword = false,
                                   SourceLocation where = SourceLocation::current());
    // Refused for a wrong password: a guess, maybe.
    bool wrongPassword() const { return _wrong_password; }

private:
    bool _wrong_password;
};

class MessageDeclarationException : public Exception {
public:
    explicit MessageDeclarationException(std::string name,
                                         SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

class MessageNotFoundException : public Exception {
public:
    explicit MessageNotFoundException(std::string message,
                                      SourceLocation where = SourceLocation::current());
    const std::string& getMessage() const { return _message; }

private:
    std::string _message;
};

class NumberFormatException : public Exception {
public:
    explicit NumberFormatException(std::string text,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getText() const { return _text; }

private:
    std::string _text;
};

// The listener cannot accept connections.
class RemoteConnectionException : public Exception {
public:
    explicit RemoteConnectionException(std::string message,
                                       SourceLocation where = SourceLocation::current());
};

// A state file that cannot be written or read; the detail is the message.
class SerializationException : public Exception {
public:
    explicit SerializationException(std::string detail,
                                    SourceLocation where = SourceLocation::current());
    const std::string& getDetail() const { return _detail; }

private:
    std::string _detail;
};

class TypeMismatchException : public Exception {
public:
    explicit TypeMismatchException(std::string name,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

class VerbNotFoundException : public Exception {
public:
    explicit VerbNotFoundException(std::string verb,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getVerb() const { return _verb; }

private:
    std::string _verb;
};

class WordNotFoundException : public Exception {
public:
    explicit WordNotFoundException(std::string word,
                                   SourceLocation where = SourceLocation::current());
    const std::string& getWord() const { return _word; }

private:
    std::string _word;
};

} // namespace zanfir
