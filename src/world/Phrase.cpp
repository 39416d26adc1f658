#include "world/Phrase.h"

#include "runtime/Debug.h"
#include "world/Word.h"

namespace zanfir {

Phrase::Phrase(std::shared_ptr<Word> verb) : Phrase(std::vector<std::shared_ptr<Word>>{verb}) {}

Phrase::Phrase(std::vector<std::shared_ptr<Word>> words) : _words(std::move(words)) {
    Debug::assertG(!_words.empty() && _words[0] && _words[0]->kind() == Word::VERB_WORD,
                   "(word.kind() == Main.VERB_WORD)");
    _item_indexes.assign(_words.size(), 0);
    for (int i = 0; i < size(); ++i)
        if (_words[i] && _words[i]->kind() == Word::ITEM_WORD)
            _item_indexes[_items++] = i;
    Debug::assertG(!_words.empty(), "(_words.size() > 0)");
}

std::string Phrase::wordAt(int i) const {
    auto word = getWordAt(i);
    return word ? word->word() : "";
}

int Phrase::kindAt(int i) const {
    auto word = getWordAt(i);
    return word ? word->kind() : 0;
}

std::string Phrase::itemAt(int i) const {
    return i >= 0 && i < _items ? wordAt(_item_indexes[i]) : "";
}

std::shared_ptr<Word> Phrase::getWordAt(int i) const {
    return i >= 0 && i < size() ? _words[i] : nullptr;
}

std::string Phrase::toString() const {
    std::string text;
    for (int i = 0; i < size(); ++i)
        text += (i > 0 ? " " : "") + wordAt(i);
    return text;
}

} // namespace zanfir
