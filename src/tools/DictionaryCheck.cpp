#include "tools/DictionaryCheck.h"

#include <algorithm>
#include <map>

#include "T.h"
#include "util/Util.h"
#include "world/Config.h"
#include "world/Loader.h"
#include "world/World.h"

namespace zanfir {

std::vector<Checker::Finding> DictionaryCheck::check() {
    _found.clear();
    checkIgnored();
    checkShared();
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
            // A verb is one where it begins a command.
            const char* kind = _world.isVerbWord(word)     ? nullptr
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

void DictionaryCheck::checkShared() {
    struct Use {
        std::string name;
        Checker::Where where; // no file: a verb of the game's
    };
    auto add = [this](std::map<std::string, Use>& table, const std::string& word,
                      const std::string& name, const Checker::Where& where) {
        auto [at, added] = table.try_emplace(word, Use{name, where});
        if (added || at->second.name == name)
            return;
        const Checker::Where& first = at->second.where;
        std::string other = first.known() ? at->second.name + " (" + first.file + ":" +
                                                std::to_string(first.line) + ")"
                                          : at->second.name + T::CheckWordOfGame;
        _found.push_back(
            {true, where,
             T::CheckWordOfTwo + word + T::CheckWordOfTwoX + other + T::CheckWordOfTwoXX});
    };
    std::map<std::string, Use> verbs, items, adverbs;
    struct Synonym {
        std::string words, name;
        Checker::Where where;
    };
    std::vector<Synonym> phrases; // the items' synonyms of several words
    for (const auto& verb : World::builtInVerbs())
        verbs.try_emplace(verb, Use{verb, {}});
    for (auto [section, table] :
         {std::pair{"VERBS", &verbs}, std::pair{"ITEMS", &items}, std::pair{"ADVERBS", &adverbs}})
        for (const auto& name : _dictionary.variables(section)) {
            auto where = Checker::place(_dictionary, section, name);
            add(*table, name, name, where);
            for (const auto& synonym : Loader::splitList(_dictionary.get(name, section))) {
                add(*table, synonym, name, where);
                if (table == &items && Util::split(synonym).size() > 1)
                    phrases.push_back({synonym, name, where});
            }
        }
    for (const auto& name : Loader::definitionSections(_inventory)) {
        add(items, name, name, Checker::place(_inventory, name));
        for (const auto& synonym : Loader::splitList(_inventory.get("SYNONYMS", name))) {
            auto where = Checker::place(_inventory, name, "SYNONYMS");
            add(items, synonym, name, where);
            if (Util::split(synonym).size() > 1)
                phrases.push_back({synonym, name, where});
        }
    }
    // A synonym whose every word is another item's: a command naming those
    // items together reads the synonym's item instead.
    for (const auto& [words, name, where] : phrases) {
        auto split = Util::split(words);
        if (std::all_of(split.begin(), split.end(), [&, &name = name](const std::string& word) {
                auto found = items.find(word);
                return found != items.end() && found->second.name != name;
            }))
            _found.push_back({false, where,
                              T::CheckSynonymOfOthers + words + T::CheckSynonymOfOthersX + name +
                                  T::CheckSynonymOfOthersXX});
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
