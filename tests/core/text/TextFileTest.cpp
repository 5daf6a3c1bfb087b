#include "core/text/TextFile.h"
#include "common/Files.h"
#include "core/TestSupport.h"
#include "core/support/Parallel_p.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using TextFileTest = files::ScratchTest;

std::string utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes;
    for (char16_t unit : text) {
        const char high = char(unit >> 8), low = char(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST_F(TextFileTest, ByteOrderMarksAndUtf16)
{
    using TextFile::Decoding;
    struct Case
    {
        const char *name;
        std::string bytes;
        std::string text;
    };
    const std::vector<Case> cases{
        {"Utf8Bom", "\xEF\xBB\xBFISA*00~", "ISA*00~"},
        {"OnlyTheLeadingBom", "ISA\xEF\xBB\xBF", "ISA\xEF\xBB\xBF"},
        {"Utf16LeBom", "\xFF\xFE" + utf16(u"ISA*\u00E9~", false), "ISA*\u00E9~"},
        {"Utf16BeBom", "\xFE\xFF" + utf16(u"ST*\U0001F600~", true), "ST*\U0001F600~"},
        {"Utf16LeIsa", utf16(u"ISA*00~", false), "ISA*00~"},
        {"Utf16BeIsa", utf16(u"ISA*00~", true), "ISA*00~"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto strict = TextFile::decode(c.bytes, Decoding::strictUtf8, "f");
        ASSERT_TRUE(strict) << strict.error().description();
        EXPECT_EQ(*strict, c.text);
    }
}

TEST_F(TextFileTest, FaultyTextIsAnErrorOrReplaced)
{
    // Clearly UTF-16, so never read as Latin 1: --dump-tree names the fault and its offset, the
    // other modes show U+FFFD for the bad unit and go on. Other text that is not UTF-8 is Latin 1,
    // where 0x92 is U+0092 and no quotation mark.
    struct Case
    {
        const char *name;
        std::string bytes;
        std::string error;
        std::string text;
    };
    const std::vector<Case> cases{
        {"LoneHighSurrogate",
         "\xFF\xFE" + utf16(u"ISA*", false) + std::string("\x00\xD8", 2) + utf16(u"~", false),
         "\u201Cf\u201D is not valid UTF-16 text (lone surrogate 0xD800 at offset 10)",
         "ISA*\uFFFD~"},
        {"LoneLowSurrogateBigEndian", "\xFE\xFF" + utf16(u"ST", true) + std::string("\xDC\x00", 2),
         "\u201Cf\u201D is not valid UTF-16 text (lone surrogate 0xDC00 at offset 6)", "ST\uFFFD"},
        {"HighSurrogateAtTheEnd", utf16(u"ISA*", false) + std::string("\x3D\xD8", 2),
         "\u201Cf\u201D is not valid UTF-16 text (lone surrogate 0xD83D at offset 8)",
         "ISA*\uFFFD"},
        {"OddByteCount", "\xFF\xFE" + utf16(u"ISA*", false) + "X",
         "\u201Cf\u201D is not valid UTF-16 text (odd byte count: a last byte without its pair at "
         "offset 10)",
         "ISA*\uFFFD"},
        {"Latin1",
         "ST*O\x92"
         "Brien~",
         "\u201Cf\u201D is not valid UTF-8 text (byte 0x92 at offset 4)",
         "ST*O\u0092"
         "Brien~"},
        {"Latin1AfterAMark", "\xEF\xBB\xBF\xE9",
         "\u201Cf\u201D is not valid UTF-8 text (byte 0xE9 at offset 3)", "\u00E9"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto strict = TextFile::decode(c.bytes, TextFile::Decoding::strictUtf8, "f");
        ASSERT_FALSE(strict);
        EXPECT_EQ(strict.error().description(), c.error);
        const auto lenient = TextFile::decode(c.bytes, TextFile::Decoding::utf8OrLatin1, "f");
        ASSERT_TRUE(lenient);
        EXPECT_EQ(*lenient, c.text);
    }
}

TEST_F(TextFileTest, LargeFilesAreReadWhole)
{
    // A large file is read in parts at once: every byte in its place, an odd size included.
    const testing_support::ScopedMinimum halves(kelvane::detail::halvesMinimum, 1u << 16);
    std::string large((1u << 20) + 3, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char('A' + (i * 7 + i / 4099) % 26);
    auto read = TextFile::readBytes(write("big.edi", large));
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read == large);
}

} // namespace
