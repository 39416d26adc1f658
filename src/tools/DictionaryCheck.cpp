#include "tools/DictionaryCheck.h"

#include <algorithm>

#include "T.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/Loader.h"
#include "world/World.h"

namespace zanfir {

std::vector<Checker::Finding> DictionaryCheck::check() {
    _found.clear();
    checkIgnored();
    for (const char* section : {"VERBS", "ITEMS", "ADVERBS"})
        for (const auto& variable : _dictionary.variables(section))
            checkSynonyms(_dictionary, section, variable);
    for (const auto& item : Loader::definitionSections(_inventory))
        checkSynonyms(_inventory, item, "SYNONYMS");
    return std::move(_found);
}

void DictionaryCheck::checkIgnored() {
    for (const auto& variable : _dictionary.variables("IGNORE")) {
        std::vector<std::string> words{variable};
        for (auto& word : Loader::splitList(_dictionary.get(variable, "IGNORE")))
            words.push_back(std::move(word));
        for (const auto& word : words) {
            const char* kind = _world.isVerbWord(word)     ? T::CheckIgnoredVerb
                               : _world.isItemWord(word)   ? T::CheckIgnoredItem
                               : _world.isAdverbWord(word) ? T::CheckIgnoredAdverb
                                                           : nullptr;
            if (kind)
                _found.push_back({true, Checker::place(_dictionary, "IGNORE", variable),
                                  T::CheckIgnoredWord + std::string(kind) + T::CheckIgnoredWordX +
                                      word + T::QuoteEnd});
        }
    }
}

void DictionaryCheck::checkSynonyms(const Config& file, const std::string& section,
                                    const std::string& variable) {
    for (const auto& synonym : Loader::splitList(file.get(variable, section))) {
        auto words = Util::split(synonym);
        if (words.size() > 1 && std::any_of(words.begin(), words.end(), [&](const auto& word) {
                return _world.blankIfIgnorable(word).empty();
            }))
            _found.push_back({true, Checker::place(file, section, variable),
                              T::CheckIgnoredInSynonym + synonym + T::QuoteEnd});
    }
}

} // namespace zanfir
