#include "language/Description.h"

#include "T.h"
#include "language/ActionParser.h"
#include "language/ActionVisitor.h"
#include "runtime/Errors.h"
#include "util/Util.h"

namespace zanfir {

Description::Description(ActionParser& parser, const std::string& text, bool lineFeed)
    : _line_feed(lineFeed) {
    std::size_t end = 0;
    for (std::size_t open;
         (open = text.find(ActionParser::ACTION_BEGIN, end)) != std::string::npos;) {
        long close = Util::matchBracket(text, open);
        if (close < 0)
            throw Exception(T::UnbalancedBrackets);
        if (open > end)
            _todos.emplace_back(text.substr(end, open - end));
        auto block = Util::trim(std::string_view(text).substr(open, close - open + 1));
        if (auto action = parser.parseAction(block))
            _todos.emplace_back(std::move(action));
        end = static_cast<std::size_t>(close) + 1;
    }
    _todos.emplace_back(text.substr(end));
    for (const auto& part : _todos)
        if (auto literal = std::get_if<std::string>(&part))
            _text += *literal;
}

bool Description::run(const Execution& now) {
    try {
        if (_item_check_mask > 0 && !checkItems(now, _item_check_mask))
            return true;
        for (const auto& part : _todos) {
            if (auto literal = std::get_if<std::string>(&part))
                print(now, *literal);
            else
                std::get<std::shared_ptr<Action>>(part)->start(now.next());
        }
        if (_line_feed && !getParent(now))
            println(now);
        return true;
    } catch (Exception& error) { // the innermost text that ran tells its place
        if (_place)
            error.setPlace(*_place);
        throw;
    }
}

std::string Description::traced(const Action& action) {
    auto text = dynamic_cast<const Description*>(&action);
    if (!text || !text->place())
        return "";
    return T::TraceIn + FilePlace{text->place()->file, text->place()->line, "", ""}.toString();
}

void Description::setPlace(FilePlace place) {
    _place = std::make_unique<const FilePlace>(std::move(place));
}

void Description::accept(ActionVisitor& visitor) const {
    for (const auto& part : _todos)
        if (auto block = std::get_if<std::shared_ptr<Action>>(&part))
            (*block)->accept(visitor);
}

} // namespace zanfir
