#include "core/Unicode_p.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

namespace kelvane::detail {

struct ClusterBreaker::Impl
{
    std::unique_ptr<icu::BreakIterator> iterator;
    UText text = UTEXT_INITIALIZER;
    // Without ICU (no data, or a stretch too long for it) every code point counts as one character.
    std::string_view fallback;
    std::size_t fallbackPos = 0;
    bool useFallback = true;
};

ClusterBreaker::ClusterBreaker() : d(new Impl)
{
    UErrorCode status = U_ZERO_ERROR;
    d->iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        d->iterator.reset();
}

ClusterBreaker::~ClusterBreaker()
{
    utext_close(&d->text);
    delete d;
}

ClusterBreaker &ClusterBreaker::forThisThread()
{
    thread_local ClusterBreaker breaker;
    return breaker;
}

void ClusterBreaker::reset(std::string_view stretch)
{
    d->fallback = stretch;
    d->fallbackPos = 0;
    d->useFallback = true;
    if (!d->iterator || stretch.size() > std::size_t(INT32_MAX))
        return;
    UErrorCode status = U_ZERO_ERROR;
    utext_openUTF8(&d->text, stretch.data(), std::int64_t(stretch.size()), &status);
    if (U_SUCCESS(status))
        d->iterator->setText(&d->text, status);
    if (U_FAILURE(status))
        return;
    d->iterator->first();
    d->useFallback = false;
}

std::size_t ClusterBreaker::next()
{
    if (!d->useFallback) {
        const std::int32_t e = d->iterator->next();
        return e == icu::BreakIterator::DONE ? std::string_view::npos : std::size_t(e);
    }
    // One code point at a time.
    const std::string_view rest = d->fallback.substr(d->fallbackPos);
    if (rest.empty())
        return std::string_view::npos;
    std::size_t length = 1;
    const auto lead = static_cast<unsigned char>(rest.front());
    if (lead >= 0xF0)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC0)
        length = 2;
    while (length > 1 && length > rest.size())
        --length;
    d->fallbackPos += length;
    return d->fallbackPos;
}

char32_t firstCodePoint(std::string_view text) noexcept
{
    if (text.empty())
        return 0;
    const auto *s = reinterpret_cast<const std::uint8_t *>(text.data());
    std::int32_t i = 0;
    UChar32 c;
    U8_NEXT(s, i, std::int32_t(std::min<std::size_t>(text.size(), 4)), c);
    return c < 0 ? U'\uFFFD' : char32_t(c);
}

bool isWhiteSpace(std::string_view character) noexcept
{
    if (character.empty())
        return false;
    const auto c = static_cast<unsigned char>(character.front());
    if (c < 0x80)
        return isAsciiWhiteSpace(c);
    return u_isUWhiteSpace(UChar32(firstCodePoint(character)));
}

bool isLetterOrNumber(std::string_view character) noexcept
{
    const auto c = UChar32(firstCodePoint(character));
    return u_isUAlphabetic(c) || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::string_view trimBlanks(std::string_view text)
{
    auto isBlank = [](std::string_view at) {
        const auto c = UChar32(firstCodePoint(at));
        return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
    };
    auto isContinuation = [&text](std::size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text.substr(begin))) {
        ++begin;
        while (begin < text.size() && isContinuation(begin))
            ++begin;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && isContinuation(start))
            --start;
        if (!isBlank(text.substr(start, end - start)))
            break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

bool isAsciiUpper(std::string_view text) noexcept
{
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || (c >= 'a' && c <= 'z'))
            return false;
    }
    return true;
}

std::string toUpper(std::string_view text)
{
    bool ascii = true;
    for (char ch : text)
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    std::string result;
    if (ascii) {
        result.assign(text);
        for (char &ch : result) {
            if (ch >= 'a' && ch <= 'z')
                ch = char(ch - 'a' + 'A');
        }
        return result;
    }
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), std::int32_t(text.size())));
    u.toUpper(icu::Locale::getRoot());
    u.toUTF8String(result);
    return result;
}

std::size_t firstInvalidUtf8(std::string_view text) noexcept
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time: most X12 text never leaves this loop.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        if (s[i + 1] < low || s[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

} // namespace kelvane::detail
