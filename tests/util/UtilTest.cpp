#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "TestSupport.h"
#include "runtime/Debug.h"
#include "runtime/Errors.h"
#include "util/Util.h"

using namespace zanfir;

namespace {

TEST(UtilTest, CaseTrimAndSplit) {
    EXPECT_EQ(Util::toUpper("città àèéìòù ÿß x×÷"), "CITTÀ ÀÈÉÌÒÙ ÿß X×÷");
    EXPECT_EQ(Util::toLower("CITTÀ ÀÈÉÌÒÙ ÞÐ X×÷ Ÿ"), "città àèéìòù þð x×÷ Ÿ");
    EXPECT_EQ(Util::toUpper(std::string("\xe0\xc3", 2)), std::string("\xe0\xc3", 2));
    // isUpper tells exactly when toUpper changes nothing.
    for (std::string text : {"CITTÀ ÀÈÉÌÒÙ ÿß X×÷", "città", "CITTà", "÷×", "USER.1.SEEN", "a",
                             "\xc3", "\xc3\xa0", "\xc3\xb7", ""})
        EXPECT_EQ(Util::isUpper(text), Util::toUpper(text) == text) << text;
    EXPECT_TRUE(Util::equalsIgnoreCase("PerChé", "PERCHÉ"));
    EXPECT_EQ(Util::trim(std::string("\x01 \t a b \r\n\x7f", 11)), "a b \r\n\x7f");
    EXPECT_EQ(Util::trim("   "), "");
    EXPECT_EQ(Util::split(" prendi\tla\r\n  lampada\f\v"),
              (std::vector<std::string>{"prendi", "la", "lampada"}));
    EXPECT_TRUE(Util::split(" \t ").empty());
    EXPECT_EQ(Util::split("*::APRI:", ':'), (std::vector<std::string>{"*", "", "APRI", ""}));
    EXPECT_EQ(Util::split("", ':'), (std::vector<std::string>{""}));
}

TEST(UtilTest, StrictIntegers) {
    EXPECT_EQ(Util::parseInt("42"), 42);
    EXPECT_EQ(Util::parseInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(Util::parseInt("+7"), 7);
    for (const char* bad :
         {"", " 1", "1 ", "2147483648", "-2147483649", "1x", "+", "-", "+-1", "0x10", "1.5"})
        EXPECT_THROW(Util::parseInt(bad), NumberFormatException) << bad;
}

TEST(UtilTest, LiteralTests) {
    EXPECT_TRUE(Util::stringIsString("'a'"));
    EXPECT_TRUE(Util::stringIsString("  ''  "));
    EXPECT_FALSE(Util::stringIsString("'"));
    EXPECT_FALSE(Util::stringIsString("'a"));
    EXPECT_TRUE(Util::stringIsBoolean(" tRuE "));
    EXPECT_TRUE(Util::stringIsBoolean("false"));
    EXPECT_FALSE(Util::stringIsBoolean("yes"));
    EXPECT_TRUE(Util::stringIsInteger("0"));
    EXPECT_TRUE(Util::stringIsInteger(" -12 "));
    EXPECT_TRUE(Util::stringIsInteger("007"));
    for (const char* no : {"00", "-0", "+0", "", "x", "99999999999", "1 2"})
        EXPECT_FALSE(Util::stringIsInteger(no)) << no;
}

// What a player types loses whatever could steer a terminal.
TEST(UtilTest, CleanText) {
    EXPECT_EQ(Util::cleanText("\x1B]0;preso!\x07"
                              "ciao \x1B[1;31mrosso\x1B[0m"),
              "ciao rosso");
    EXPECT_EQ(Util::cleanText("a\x1B]2;titolo\x1B\\b\x1B(Bc\x1B"
                              "7d\x1B"),
              "abcd");
    EXPECT_EQ(Util::cleanText("suo\x07na\x08\x7F\rre\tpiano\x01"), "suonare piano");
    EXPECT_EQ(Util::cleanText("perch\xC3\xA9 \xC2\x9B"
                              "2J\xC2\xA0!"),
              "perch\xC3\xA9 2J\xC2\xA0!");
    EXPECT_EQ(Util::cleanText("caf\xE9 \x9B"
                              "2J"),
              "caf\xE9 2J"); // not UTF-8: 0x9B is C1
    EXPECT_EQ(Util::cleanText("\x1B]0;mai finito"), "");
    EXPECT_EQ(Util::cleanText("\x1B[31\nriga"), "\nriga"); // a line end is never swallowed
    EXPECT_EQ(Util::cleanText("tutto\ncome prima"), "tutto\ncome prima");

    EXPECT_EQ(Util::clip("breve", 10), "breve");
    EXPECT_EQ(Util::clip(std::string(300, 'x'), 200), std::string(200, 'x') + "... [tagliato]");
    EXPECT_EQ(Util::clip("aaa\xC3\xA9", 4), "aaa... [tagliato]"); // not inside a letter
}

TEST(UtilTest, ReplaceCapitalizeAndBrackets) {
    EXPECT_EQ(Util::replace("a.b.c", ".", ".."), "a..b..c");
    EXPECT_EQ(Util::replace("aaa", "aa", "a"), "aa");
    EXPECT_EQ(Util::replace("x", "y", "z"), "x");
    EXPECT_EQ(Util::replace("", ".", "x"), std::nullopt);
    EXPECT_EQ(Util::replace("abc", "", "x"), std::nullopt);

    EXPECT_EQ(Util::capitalize("mARIO "), "Mario");
    EXPECT_EQ(Util::capitalize("x"), "X");
    EXPECT_EQ(Util::capitalize(""), "");
    EXPECT_EQ(Util::capitalize("èLISA"), "Èlisa");

    EXPECT_EQ(Util::matchBracket("(a(b)c)d", 0), 6);
    EXPECT_EQ(Util::matchBracket("(a(b)c)d", 2), 4);
    EXPECT_EQ(Util::matchBracket("(a(b", 0), -1);
    EXPECT_EQ(Util::matchBracket("{a(}b}", 0), 3);
    EXPECT_EQ(Util::matchBracket("[']']", 0), 2);
    EXPECT_EQ(Util::matchBracket("abc", 1), -1);
    EXPECT_EQ(Util::matchBracket("abc", 9), -1);
    Debug::setGlobalDebug(std::make_shared<Debug>());
    try {
        Util::matchBracket("abc", 1);
        ADD_FAILURE() << "no assertion";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Asserzione fallita: (bra == '(') || (bra == '[') || (bra == '{'))");
    }
    Debug::setGlobalDebug(nullptr);
}

class WrapTest : public ::testing::Test {
protected:
    static std::string wrap(const std::string& text, bool crlf, int column = 0) {
        return Util::wordWrap(text, crlf, 80, column);
    }
    static void expectRowsFit(const std::string& text, int rows) {
        for (const auto& row : test::lines(text))
            EXPECT_LT(Util::length(row), static_cast<std::size_t>(rows)) << row;
    }
};

TEST_F(WrapTest, RowBoundaries) {
    std::string fits(79, 'a');
    EXPECT_EQ(wrap(fits, false), fits);

    std::string words = std::string(40, 'a') + " " + std::string(39, 'b'); // 80 characters
    EXPECT_EQ(wrap(words, false), std::string(40, 'a') + "\n" + std::string(39, 'b'));
    EXPECT_EQ(wrap(words, true), std::string(40, 'a') + "\r\n" + std::string(39, 'b'));

    // A blank exactly at R - 1 - column is the break; its neighbours stay.
    std::string edge = std::string(79, 'a') + "  b";
    EXPECT_EQ(wrap(edge, false), std::string(79, 'a') + "\n b");

    // A first word that does not fit after column 70 moves to the next row.
    EXPECT_EQ(wrap("abcdefghij klm", false, 70), "\nabcdefghij klm");
    EXPECT_EQ(wrap("abc defghijkl", false, 70), "abc\ndefghijkl");

    // A line feed of the text ends its row: the next line starts at column 0.
    std::string feeds = "ab\n" + std::string(76, 'c') + " dd\n\nx";
    EXPECT_EQ(wrap(feeds, false), feeds);
    // Every line end becomes the chosen one.
    EXPECT_EQ(wrap("abc\n" + words, true, 70),
              "abc\r\n" + std::string(40, 'a') + "\r\n" + std::string(39, 'b'));
    EXPECT_EQ(wrap("a\r\nb\n\nc\r", true), "a\r\nb\r\n\r\nc\r");
    EXPECT_EQ(wrap("a\r\nb\n", false), "a\nb\n");
}

TEST_F(WrapTest, LongWordsAndOddRowLengths) {
    std::string word(200, 'x');
    std::string wrapped = wrap(word, false);
    EXPECT_EQ(wrapped,
              std::string(79, 'x') + "\n" + std::string(79, 'x') + "\n" + std::string(42, 'x'));
    EXPECT_EQ(wrap("ab " + word, false, 10).substr(0, 4), "ab\nx");
    expectRowsFit(wrap("ab " + word, false, 10), 80);

    // Accented letters count as one column each and are never split.
    std::string accents;
    for (int i = 0; i < 100; ++i)
        accents += "è";
    std::string split = wrap(accents, false);
    auto rows = test::lines(split);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Util::length(rows[0]), 79u);
    EXPECT_EQ(rows[0].size(), 158u);

    EXPECT_EQ(Util::wordWrap("abc", false, 1), "a\nb\nc\n");
    EXPECT_EQ(Util::wordWrap("uno due tre quattro cinque sei", false, 20),
              "uno due tre quattro\ncinque sei");
}

// A line whose bytes fit is copied without the general path: on random
// text (accented letters, blanks, line ends) near the row length the
// result is the general path's, line by line.
TEST_F(WrapTest, LinesThatFitWrapAsTheGeneralPathWraps) {
    const std::vector<std::string> pieces = {"a", "b", " ", "è", "À", "\n", "\r\n", "  "};
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = static_cast<int>(random() % 40); n > 0; --n)
            text += pieces[random() % pieces.size()];
        const int width = 1 + static_cast<int>(random() % 24);
        const int column = static_cast<int>(random() % 30);
        const bool crlf = random() % 2;
        std::string expected;
        std::size_t start = 0;
        int col = column;
        for (std::size_t feed; (feed = text.find('\n', start)) != std::string::npos;) {
            std::size_t end = feed > start && text[feed - 1] == '\r' ? feed - 1 : feed;
            Util::wrapLine(expected, std::string_view(text).substr(start, end - start), crlf, width,
                           col);
            expected += crlf ? "\r\n" : "\n";
            start = feed + 1;
            col = 0;
        }
        Util::wrapLine(expected, std::string_view(text).substr(start), crlf, width, col);
        ASSERT_EQ(Util::wordWrap(text, crlf, width, column), expected)
            << "text '" << text << "' width " << width << " column " << column;
    }
}

} // namespace
