#include "language/action/ActionRef.h"

#include "T.h"
#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "runtime/Errors.h"
#include "util/Util.h"
#include "world/Phrase.h"
#include "world/Word.h"

namespace zanfir {

bool ActionRef::run(const Execution& now) {
    if (_ref.empty())
        return false;
    Adventure& session = now.session;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t colon; (colon = _ref.find(':', start)) != std::string::npos; start = colon + 1)
        fields.push_back(Util::toUpper(Util::trim(_ref.substr(start, colon - start))));
    fields.push_back(Util::toUpper(Util::trim(_ref.substr(start))));
    if (fields.size() < 2)
        throw Exception(T::ActionNotFound);
    const std::string& location = fields[0];
    if (location != Word::ANY_WORD)
        session.location(location);
    std::vector<std::shared_ptr<Word>> words{session.verb(fields[1])};
    auto current = now.phrase;
    for (std::size_t i = 2, item = 0; i < fields.size(); ++i) {
        std::string field = fields[i];
        if (field == Word::ANY_WORD) {
            field = current ? current->itemAt(static_cast<int>(item)) : "";
            ++item;
        }
        words.push_back(session.word(field));
        if (fields[i] != Word::ANY_WORD && words.back()->kind() == Word::ITEM_WORD)
            ++item;
    }
    auto referred = std::make_shared<const Phrase>(words);
    auto action = session.commands().resolveCommand(location, *referred);
    if (!action)
        throw Exception(T::ActionNotFound);
    action->start({session, now.context, referred, this});
    return true;
}

void ActionRef::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
