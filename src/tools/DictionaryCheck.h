#pragma once

#include <string>
#include <vector>

#include "tools/Checker.h"

namespace zanfir {

class Config;
class World;

// The words of an adventure as commands will read them: words the
// commands drop (the ignorable ones) that are meant as others, words of two
// names, and synonyms no command can match.
class DictionaryCheck {
public:
    DictionaryCheck(const World& world, const Config& dictionary, const Config& inventory)
        : _world(world), _dictionary(dictionary), _inventory(inventory) {}

    std::vector<Checker::Finding> check();

private:
    // Ignorable words are dropped from a command before its words are
    // looked up: one that is also a verb, an item word or an adverb is
    // never read as such.
    void checkIgnored();
    // Words given to two names of one kind (two items, two verbs, two
    // adverbs, a verb of the game's): commands read them as one of the two.
    void checkShared();
    // A synonym of several words with an ignorable one among them.
    void checkSynonyms(const Config& file, const std::string& section, const std::string& variable);

    const World& _world;
    const Config& _dictionary;
    const Config& _inventory;
    std::vector<Checker::Finding> _found;
};

} // namespace zanfir
