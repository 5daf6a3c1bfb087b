#include "core/Unicode_p.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelvane::detail;

namespace {

std::vector<std::string> characters(std::string_view text)
{
    std::vector<std::string> out;
    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        out.emplace_back(text.substr(begin, end - begin));
        return true;
    });
    return out;
}

TEST(UnicodeTest, CharactersAreGraphemeClusters)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(characters("ab"), (V{"a", "b"}));
    EXPECT_EQ(characters("a\r\nb\r\r\n"), (V{"a", "\r\n", "b", "\r", "\r\n"}));
    EXPECT_EQ(characters("e\u0301x"), (V{"e\u0301", "x"}));
    EXPECT_EQ(characters("~\u0301~"), (V{"~\u0301", "~"}));
    EXPECT_EQ(characters("\u00E9\u00E9a"), (V{"\u00E9", "\u00E9", "a"}));
    // A prepended mark joins the ASCII letter after it.
    EXPECT_EQ(characters("\u0600"
                         "1*"),
              (V{"\u0600"
                 "1",
                 "*"}));
    // Family emoji: four people joined by ZWJ is one character.
    EXPECT_EQ(characters("\U0001F468\u200D\U0001F469\u200D\U0001F467*"),
              (V{"\U0001F468\u200D\U0001F469\u200D\U0001F467", "*"}));
    EXPECT_EQ(characters("\U0001F1FA\U0001F1F8\U0001F1E9"),
              (V{"\U0001F1FA\U0001F1F8", "\U0001F1E9"}));
    EXPECT_TRUE(characters("").empty());
}

TEST(UnicodeTest, StopsWhenAsked)
{
    int seen = 0;
    forEachCharacter("a\u00E9\u00E9\u00E9", [&](std::size_t, std::size_t) { return ++seen < 2; });
    EXPECT_EQ(seen, 2);
}

TEST(UnicodeTest, WhiteSpaceAndLetters)
{
    for (std::string_view blank : {" ", "\t", "\n", "\r", "\v", "\f", "\u0085", "\u00A0", "\u2028",
                                   "\u2029", "\u3000", " \u0301"})
        EXPECT_TRUE(isWhiteSpace(blank)) << blank;
    for (std::string_view other : {"a", "~", "\x1D", "\u200B", "", "\xFF"})
        EXPECT_FALSE(isWhiteSpace(other)) << other;
    for (std::string_view letter : {"U", "7", "\u00C9", "\u0663", "\u00BD", "\u216B"})
        EXPECT_TRUE(isLetterOrNumber(letter)) << letter;
    for (std::string_view other : {" ", "^", "!", "\u00A0"})
        EXPECT_FALSE(isLetterOrNumber(other)) << other;
}

TEST(UnicodeTest, UpperCaseIgnoresTheUserLocale)
{
    EXPECT_EQ(toUpper("isa"), "ISA");
    EXPECT_EQ(toUpper("stra\u00DFe"), "STRASSE");
    EXPECT_EQ(toUpper("\u00E9t\u00E9"), "\u00C9T\u00C9");
    EXPECT_TRUE(isAsciiUpper("NM1*"));
    EXPECT_FALSE(isAsciiUpper("Nm1"));
    EXPECT_FALSE(isAsciiUpper("N\u00C9"));
}

TEST(UnicodeTest, StrictUtf8)
{
    struct Case
    {
        std::string text;
        std::size_t bad;
    };
    const std::size_t ok = std::string::npos;
    const std::vector<Case> cases{
        {"plain ascii text, longer than eight bytes", ok},
        {"\u00E9\u4E2D\U0001F600", ok},
        {"abc\x92", 3},
        {"abcdefgh\xC0\x80", 8},     // overlong NUL
        {"\xE0\x80\xAF", 0},         // overlong
        {"\xED\xA0\x80", 0},         // surrogate
        {"\xF4\x90\x80\x80", 0},     // above U+10FFFF
        {"ab\xE4\xB8", 2},           // truncated
        {"\xF8\x88\x80\x80\x80", 0}, // five-byte form
        {std::string("a\0b", 3), ok},
    };
    for (const Case &c : cases)
        EXPECT_EQ(firstInvalidUtf8(c.text), c.bad) << c.text;
}

} // namespace
