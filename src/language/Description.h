#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "language/Action.h"
#include "util/FilePlace.h"

namespace zanfir {

class ActionParser;

// A printable text with embedded action blocks in braces. Running it
// prints the literal parts and runs the blocks, in order.
class Description : public Action {
public:
    using Part = std::variant<std::string, std::shared_ptr<Action>>;

    // Parses the text; throws Exception("parantesi non bilanciate") for a
    // "{" without its "}", and whatever the action parser throws.
    Description(ActionParser& parser, const std::string& text, bool lineFeed = false);

    bool run(const Execution& now) override;
    void accept(ActionVisitor& visitor) const override;
    // The literal parts joined, without the blocks.
    virtual const std::string& text() const { return _text; }
    virtual void setItemCheckMask(int mask) { _item_check_mask = mask; }

    int itemCheckMask() const { return _item_check_mask; }
    // Only text: running it just prints it.
    bool isPlain() const { return _todos.size() == 1 && _item_check_mask == 0 && !_line_feed; }
    const std::vector<Part>& parts() const { return _todos; }
    // Where the text stands in the adventure's files: a failure while it
    // runs is told there. Set once, at load.
    void setPlace(FilePlace place);
    const FilePlace* place() const { return _place.get(); }
    // " in FILE:LINE" of an action that is a text with its place, for the
    // author's trace; empty otherwise.
    static std::string traced(const Action& action);

private:
    std::vector<Part> _todos;
    int _item_check_mask = 0;
    bool _line_feed;
    std::string _text;
    std::unique_ptr<const FilePlace> _place;
};

} // namespace zanfir
