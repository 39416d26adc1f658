#pragma once

#include <memory>
#include <string>

namespace zanfir {

class User;

// Something a player said to another.
class Quote {
public:
    Quote(std::shared_ptr<User> user, std::string text)
        : _user(std::move(user)), _text(std::move(text)) {}
    virtual ~Quote() = default;

    virtual const std::shared_ptr<User>& user() const { return _user; }
    virtual const std::string& text() const { return _text; }

private:
    std::shared_ptr<User> _user;
    std::string _text;
};

} // namespace zanfir
