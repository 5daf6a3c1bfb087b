#include "core/text/Unicode_p.h"

#include <gtest/gtest.h>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace kelvane::detail;

namespace {

/// The character ends ICU's own iterator finds over the whole text.
std::vector<std::size_t> icuEnds(std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText utext = UTEXT_INITIALIZER;
    utext_openUTF8(&utext, text.data(), std::int64_t(text.size()), &status);
    iterator->setText(&utext, status);
    EXPECT_TRUE(U_SUCCESS(status));
    std::vector<std::size_t> ends;
    iterator->first();
    for (std::int32_t e = iterator->next(); e != icu::BreakIterator::DONE; e = iterator->next())
        ends.push_back(std::size_t(e));
    utext_close(&utext);
    return ends;
}

std::vector<std::size_t> ourEnds(std::string_view text)
{
    std::vector<std::size_t> ends;
    forEachCharacter(text, [&](std::size_t, std::size_t end) {
        ends.push_back(end);
        return true;
    });
    return ends;
}

// Characters are cut by rules applied here, so they are checked against ICU's iterator on
// random texts made of every kind of code point the rules tell apart.
TEST(UnicodeTest, CharactersMatchIcuOnRandomTexts)
{
    std::vector<std::string> pieces{
        "a",      "~",          "*",          "\r",         "\n",         "\r\n",
        "\x1D",   " ",          "\u00E9",     "\u0301",     "\u00AD",     "\u0085",
        "\u200D", "\u200B",     "\uFEFF",     "\U0001F469", "\U0001F3FD", "\u2764",
        "\uFE0F", "\U0001F1FA", "\U0001F1F8", "\u1100",     "\u1161",     "\u11A8",
        "\uAC00", "\uAC01",     "\u0600",     "\u0903",     "\u0915",     "\u094D",
        "\u0937", "\u0E33",     "\u3000",     "\xFF",       "\xE2\x82",   "\xC3"};
    pieces.push_back(std::string(1, '\0'));
    std::mt19937 random(12);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int k = length(random); k > 0; --k)
            text += pieces[pick(random)];
        ASSERT_EQ(ourEnds(text), icuEnds(text)) << "text: " << ::testing::PrintToString(text);
    }
    EXPECT_TRUE(ourEnds("").empty());
}

TEST(UnicodeTest, StopsWhenAsked)
{
    int seen = 0;
    forEachCharacter("a\u00E9\u00E9\u00E9", [&](std::size_t, std::size_t) { return ++seen < 2; });
    EXPECT_EQ(seen, 2);
}

TEST(UnicodeTest, WhiteSpaceAndLetters)
{
    // A blank with a mark is one blank character; nothing, or a stray byte, is none.
    EXPECT_TRUE(isWhiteSpace(" \u0301"));
    EXPECT_FALSE(isWhiteSpace(""));
    EXPECT_FALSE(isWhiteSpace("\xFF"));
    // Every code point agrees with ICU's White_Space.
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::uint8_t bytes[4];
        std::int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, std::uint32_t(c));
        ASSERT_EQ(isWhiteSpace(
                      std::string_view(reinterpret_cast<const char *>(bytes), std::size_t(length))),
                  bool(u_isUWhiteSpace(c)))
            << "U+" << std::hex << c;
    }
    for (std::string_view letter : {"U", "7", "\u00C9", "\u0663", "\u00BD", "\u216B"})
        EXPECT_TRUE(isLetterOrNumber(letter)) << letter;
    for (std::string_view other : {" ", "^", "!", "\u00A0"})
        EXPECT_FALSE(isLetterOrNumber(other)) << other;
}

TEST(UnicodeTest, UpperCaseIgnoresTheUserLocale)
{
    // Letters whose upper case takes three times their bytes: the text grows well past its size.
    std::string greek, upperGreek;
    for (int k = 0; k < 40; ++k) {
        greek += "\u0390";
        upperGreek += "\u0399\u0308\u0301";
    }
    EXPECT_EQ(toUpper(greek + "a"), upperGreek + "A");
    // Character by character as ICU maps a whole text, over every code point, with marks after
    // letters; bytes that are not UTF-8 stay as they are.
    icu::UnicodeString all;
    for (UChar32 c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue; // surrogates
        all.append(c);
        if (c % 7 == 0)
            all.append(UChar32(0x0301)).append(UChar32(0x0345));
    }
    std::string every;
    all.toUTF8String(every);
    std::string expected;
    icu::UnicodeString::fromUTF8(every).toUpper(icu::Locale::getRoot()).toUTF8String(expected);
    EXPECT_TRUE(toUpper(every) == expected);
    EXPECT_EQ(toUpper("a\xFF\xC3(b\xE2\x82"), "A\xFF\xC3(B\xE2\x82");
    EXPECT_TRUE(isAsciiUpper("NM1*"));
    EXPECT_FALSE(isAsciiUpper("Nm1"));
    EXPECT_FALSE(isAsciiUpper("N\u00C9"));
}

} // namespace
