#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>
#include <filesystem>
#include <fstream>

namespace {

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

TEST(TextFileTest, ByteOrderMarksAndUtf16)
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

TEST(TextFileTest, FaultyUtf16IsAnErrorOrReplaced)
{
    // Clearly UTF-16, so never read as Latin 1: --dump-tree names the fault and its offset, the
    // other modes show U+FFFD for the bad unit and go on.
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

TEST(TextFileTest, NonUtf8IsAnErrorOrLatin1)
{
    const std::string bytes = "ST*O\x92"
                              "Brien~";
    auto strict = TextFile::decode(bytes, TextFile::Decoding::strictUtf8, "claims.txt");
    ASSERT_FALSE(strict);
    EXPECT_EQ(strict.error().description(),
              "\u201Cclaims.txt\u201D is not valid UTF-8 text (byte 0x92 at offset 4)");
    auto lenient = TextFile::decode(bytes, TextFile::Decoding::utf8OrLatin1, "claims.txt");
    ASSERT_TRUE(lenient);
    EXPECT_EQ(*lenient, "ST*O\u0092"
                        "Brien~");
    auto withBom = TextFile::decode("\xEF\xBB\xBF\xE9", TextFile::Decoding::utf8OrLatin1, "f");
    ASSERT_TRUE(withBom);
    EXPECT_EQ(*withBom, "\u00E9");
}

TEST(TextFileTest, ReadErrorsNameTheProblemAndThePath)
{
    const auto dir = std::filesystem::temp_directory_path() / "kelvane-textfile-test";
    std::filesystem::create_directories(dir);
    const std::string missing = (dir / "missing.edi").string();
    auto result = TextFile::read(missing, TextFile::Decoding::strictUtf8);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().description(),
              "cannot open \u201C" + missing + "\u201D: No such file or directory");

    auto directory = TextFile::read(dir.string(), TextFile::Decoding::strictUtf8);
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error().description(),
              "\u201C" + dir.string() + "\u201D is a directory, not a file");

    const std::string file = (dir / "ok.edi").string();
    std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBFST*1~";
    auto ok = TextFile::read(file, TextFile::Decoding::strictUtf8);
    ASSERT_TRUE(ok);
    EXPECT_EQ(*ok, "ST*1~");

    // A large file is read in parts at once: every byte in its place, an odd size included.
    std::string large((17u << 20) + 3, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char('A' + (i * 7 + i / 4099) % 26);
    const std::string big = (dir / "big.edi").string();
    std::ofstream(big, std::ios::binary) << large;
    auto read = TextFile::readBytes(big);
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read == large);
    std::filesystem::remove_all(dir);
}

} // namespace
