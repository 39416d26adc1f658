#include "adventure/Adventure.h"

#include "Main.h"
#include "adventure/Action.h"
#include "adventure/Description.h"
#include "adventure/Item.h"
#include "adventure/Location.h"
#include "adventure/Phrase.h"
#include "adventure/User.h"
#include "common/Context.h"
#include "common/Input.h"
#include "common/Output.h"

namespace zanfir {

Adventure::Adventure(Main& main, std::unique_ptr<Input> in, std::unique_ptr<Output> out)
    : _main(main), _in(std::move(in)), _out(std::move(out)) {}

Adventure::~Adventure() = default;

std::int32_t Adventure::userID() const {
    return _user_item ? _user_item->id() : 0;
}

std::string Adventure::userName() const {
    return _user_item ? _user_item->descr().text() : "";
}

void Adventure::setUser(std::shared_ptr<User> user, std::shared_ptr<Context> context) {
    _user_item = std::move(user);
    _ctx = std::move(context);
}

std::shared_ptr<Location> Adventure::getLocation() {
    return _user_item ? _user_item->getLocation(*this, *_ctx) : nullptr;
}

std::shared_ptr<Location> Adventure::getItemLocation(Item& item) {
    return item.getLocation(*this, *_ctx);
}

bool Adventure::isItemPresent(Item& item) {
    return item.isPresent(*this, *_ctx);
}

bool Adventure::isItemHere(Item& item) {
    return item.isHere(*this, *_ctx);
}

bool Adventure::isItemUser(Item& item) {
    return item.isUser(*this, *_ctx);
}

bool Adventure::isItemMyself(Item& item) {
    return item.isMyself(*this, *_ctx);
}

bool Adventure::isItemCarried(Item& item) {
    return item.isCarried(*this, *_ctx);
}

bool Adventure::isItemSeen(Item& item) {
    return item.isSeen(*this, *_ctx);
}

bool Adventure::isItemOwned(Item& item) {
    return item.isOwned(*this, *_ctx);
}

bool Adventure::isItemHidden(Item& item) {
    return item.isHidden(*this, *_ctx);
}

std::shared_ptr<Location> Adventure::location(const std::string& name) {
    return _main.getLocation(name);
}

std::shared_ptr<Item> Adventure::item(const std::string& name) {
    return _main.getItem(name);
}

std::shared_ptr<Word> Adventure::verb(const std::string& text) {
    return _main.getVerb(text);
}

std::shared_ptr<Word> Adventure::word(const std::string& text) {
    return _main.getWord(text);
}

void Adventure::print(Description& description) {
    executeAction(description);
}

void Adventure::println(Description& description) {
    print(description);
    println();
}

void Adventure::println(const std::string& before, Description& description,
                        const std::string& after) {
    print(before);
    print(description);
    println(after);
}

void Adventure::print(const std::string& text) {
    _out->print(text);
}

void Adventure::println(const std::string& text) {
    _out->println(text);
}

void Adventure::println() {
    _out->println("");
}

std::string Adventure::readln() {
    return _in->readln();
}

std::string Adventure::readln(const std::string& prompt) {
    print(prompt);
    return readln();
}

bool Adventure::executeAction(Action& action) {
    auto view = std::make_shared<Context>();
    if (_ctx) {
        if (auto global = _ctx->get("GLOBAL"))
            view->set("GLOBAL", *global);
        if (auto player = _ctx->get("USER." + std::to_string(userID())))
            view->set("USER", *player);
        auto variables = view->get("USER.VARIABLES");
        if (variables && std::holds_alternative<std::shared_ptr<Context>>(*variables))
            view->appendFrom(*std::get<std::shared_ptr<Context>>(*variables));
    }
    return action.start(this, view, _curr_phrase);
}

} // namespace zanfir
