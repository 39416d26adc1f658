#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zanfir {

// A scripted game: the commands a player types, each followed by what the
// game must answer.
//
//     # a comment
//     > prendi la chiave        a command ("> " then the text)
//     Fatto.                    the next line of the answer, exactly
//     ~ chiave                  some line of the answer contains this
//     ...                       any number of lines of the answer
//     \...                      a backslash takes the rest literally
//
// Blank lines are skipped, in the script and in the answers; lines are
// compared without their trailing blanks. The expectations before the
// first command are about the opening of the game.
class Script {
public:
    struct Expectation {
        enum Kind { Exact, Contains, Skip };
        Kind kind;
        std::string text;
        int line; // in the script
    };

    struct Step {
        std::optional<std::string> command; // none: the opening
        int line = 0;
        std::vector<Expectation> expectations;
    };

    // Where an answer departs from its step.
    struct Mismatch {
        const Expectation* expected;   // none: an answer line nobody expected
        std::optional<std::size_t> at; // the answer line concerned, if any
    };

    explicit Script(const std::string& text);

    const std::vector<Step>& steps() const { return _steps; }
    // The number of commands.
    std::size_t commands() const;

    // The lines of an answer as they are compared: no line ends, no
    // trailing blanks, no blank lines.
    static std::vector<std::string> answerLines(const std::string& answer);
    // The first departure of the answer lines from the step, or none.
    static std::optional<Mismatch> match(const Step& step, const std::vector<std::string>& answer);

private:
    std::vector<Step> _steps;
};

} // namespace zanfir
