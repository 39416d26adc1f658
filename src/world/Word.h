#pragma once

#include <string>

namespace zanfir {

// A canonical dictionary word and its kind (VERB_WORD, ITEM_WORD or
// ADVERB_WORD).
class Word {
public:
    static constexpr int VERB_WORD = 1;
    static constexpr int ITEM_WORD = 2;
    static constexpr int ADVERB_WORD = 3;
    // Stands for any location or any word in binding and event keys.
    static constexpr const char* ANY_WORD = "*";

    static constexpr const char* NORTH = "NORD";
    static constexpr const char* SOUTH = "SUD";
    static constexpr const char* EAST = "EST";
    static constexpr const char* WEST = "OVEST";
    static constexpr const char* UP = "ALTO";
    static constexpr const char* DOWN = "BASSO";
    static constexpr const char* LOAD = "CARICA";
    static constexpr const char* SAVE = "SALVA";
    static constexpr const char* QUIT = "BASTA";
    static constexpr const char* WHAT = "COSA";
    static constexpr const char* TAKE = "PRENDI";
    static constexpr const char* DROP = "LASCIA";
    static constexpr const char* LOOK = "GUARDA";
    static constexpr const char* TELL = "PARLA";
    static constexpr const char* WAIT = "ATTENDI";

    Word(const std::string& word, int kind);
    virtual ~Word() = default;

    virtual const std::string& word() const { return _word; }
    virtual int kind() const { return _kind; }
    // The direction bit of a direction word (Location::N ... D), else 0.
    virtual int getDirection() const;

private:
    std::string _word;
    int _kind;
};

} // namespace zanfir
