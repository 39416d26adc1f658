#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zanfir {

class Word;

// A parsed command: the verb first, then item words and adverbs, each the
// canonical dictionary word.
class Phrase {
public:
    explicit Phrase(std::shared_ptr<Word> verb);
    explicit Phrase(std::vector<std::shared_ptr<Word>> words);
    virtual ~Phrase() = default;

    virtual int size() const { return static_cast<int>(_words.size()); }
    virtual int items() const { return _items; }
    virtual std::string wordAt(int i) const;
    virtual int kindAt(int i) const;
    virtual std::string verb() const { return wordAt(0); }
    virtual std::string item() const { return itemAt(0); }
    // The i-th item word (from 0), or the empty text.
    virtual std::string itemAt(int i) const;
    virtual bool isVerbOnly() const { return _words.size() == 1; }
    virtual std::shared_ptr<Word> verbWord() const { return getWordAt(0); }
    virtual std::shared_ptr<Word> getWordAt(int i) const;
    // The words joined with single blanks.
    virtual std::string toString() const;

private:
    std::vector<std::shared_ptr<Word>> _words;
    int _items = 0;
    std::vector<int> _item_indexes;
};

} // namespace zanfir
