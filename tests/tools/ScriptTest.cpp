#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "tools/Script.h"

using zanfir::Script;

namespace {

// The text of the expectation a step departs at, "+" for an extra answer
// line, "" when the answer matches.
std::string departure(const std::string& script, const std::string& answer) {
    Script parsed(script);
    auto mismatch = Script::match(parsed.steps().back(), Script::answerLines(answer));
    if (!mismatch)
        return "";
    return mismatch->expected ? mismatch->expected->text
                              : "+" + Script::answerLines(answer).at(*mismatch->at);
}

} // namespace

TEST(ScriptTest, ReadsCommandsExpectationsAndTheOpening) {
    Script script("# a walkthrough\n"
                  "~ LA TORRE\n"
                  "\n"
                  "> Anna   \n"
                  "Sei su un prato.\n"
                  ">\n"
                  "...\n"
                  "\\> non un comando\n"
                  "\\...\n"
                  ">prendi mappa\n");
    ASSERT_EQ(script.commands(), 3u);
    const auto& steps = script.steps();
    EXPECT_FALSE(steps[0].command);
    ASSERT_EQ(steps[0].expectations.size(), 1u);
    EXPECT_EQ(steps[0].expectations[0].kind, Script::Expectation::Contains);
    EXPECT_EQ(steps[0].expectations[0].text, "LA TORRE");
    EXPECT_EQ(*steps[1].command, "Anna");
    EXPECT_EQ(steps[1].line, 4);
    EXPECT_EQ(steps[1].expectations[0].line, 5);
    EXPECT_EQ(*steps[2].command, ""); // Enter alone
    ASSERT_EQ(steps[2].expectations.size(), 3u);
    EXPECT_EQ(steps[2].expectations[0].kind, Script::Expectation::Skip);
    EXPECT_EQ(steps[2].expectations[1].text, "> non un comando");
    EXPECT_EQ(steps[2].expectations[2].kind, Script::Expectation::Exact);
    EXPECT_EQ(steps[2].expectations[2].text, "...");
    EXPECT_EQ(*steps[3].command, "prendi mappa");
    EXPECT_THROW(Script("> guarda\n~\n"), zanfir::Exception);
    EXPECT_EQ(*Script("\xEF\xBB\xBF> Anna\n").steps().at(1).command, "Anna"); // a UTF-8 mark
}

TEST(ScriptTest, AnswerLinesLeaveOutBlanksAndLineEnds) {
    auto lines = Script::answerLines("\n  \r\nUno  \r\n\n  Due\nTre");
    EXPECT_EQ(lines, (std::vector<std::string>{"Uno", "  Due", "Tre"}));
}

TEST(ScriptTest, ExactLinesCoverTheWholeAnswerUnlessSkipped) {
    const std::string answer = "Uno\nDue\nTre\n";
    EXPECT_EQ(departure("> x\nUno\nDue\nTre\n", answer), "");
    EXPECT_EQ(departure("> x\nUno\nDue\n", answer), "+Tre"); // a line nobody expected
    EXPECT_EQ(departure("> x\nUno\nDue\nTre\nQuattro\n", answer), "Quattro"); // missing
    EXPECT_EQ(departure("> x\nUno\nTre\n", answer), "Tre");                   // a line in between
    EXPECT_EQ(departure("> x\nUno\n...\n", answer), "");
    EXPECT_EQ(departure("> x\n...\nTre\n", answer), "");
    EXPECT_EQ(departure("> x\n...\nDue\n", answer), "Due"); // must be the last
    EXPECT_EQ(departure("> x\n...\nDue\n...\n", answer), "");
    EXPECT_EQ(departure("> x\nUno\n...\nTre\n", answer), "");
    EXPECT_EQ(departure("> x\n...\nUno\nTre\n...\n", answer), "Uno"); // a run stays together
    EXPECT_EQ(departure("> x\n...\n", ""), "");
    EXPECT_EQ(departure("> x\nUno\n", ""), "Uno");
    EXPECT_EQ(departure("> x\n", answer), ""); // nothing expected: nothing checked
}

TEST(ScriptTest, RunsAfterASkipStandAtTheirFirstWholeMatch) {
    // The first "A" is followed by C: the run "A B" must be found later.
    EXPECT_EQ(departure("> x\n...\nA\nB\n...\n", "A\nC\nA\nB\nD\n"), "");
    EXPECT_EQ(departure("> x\n...\nA\nB\n", "A\nB\nC\nA\nB\n"), "");
    EXPECT_EQ(departure("> x\nA\n...\nB\n...\nC\n", "A\nC\nB\nB\nC\n"), "");
    EXPECT_EQ(departure("> x\n...\nB\n...\nA\n", "A\nB\n"), "A");
}

TEST(ScriptTest, ContainedTextsAreFoundInAnyLineInAnyOrder) {
    const std::string answer = "Vedo una lanterna.\nVedo una chiave.\n";
    EXPECT_EQ(departure("> x\n~ chiave\n~ lanterna\n", answer), "");
    EXPECT_EQ(departure("> x\n~ spada\n", answer), "spada");
    EXPECT_EQ(departure("> x\n~ Vedo una\n...\nVedo una chiave.\n", answer), "");
    EXPECT_EQ(departure("> x\n~ Lanterna\n", answer), "Lanterna"); // case counts
}
