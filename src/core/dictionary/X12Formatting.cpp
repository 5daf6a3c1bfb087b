// Dates, times and amounts as a US reader writes them.

#include "core/dictionary/Dictionary_p.h"
#include "core/text/Unicode_p.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <memory>

#include <clocale>
#include <locale.h>

#include <unicode/uchar.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

namespace {

/// The characters of a short value, as byte ranges; nothing when it has a character that is not
/// numeric or more than `limit` characters. No allocation either way.
template <std::size_t limit>
struct Digits
{
    std::array<std::size_t, limit + 1> bounds{}; // character i is [bounds[i], bounds[i + 1])
    std::size_t count = 0;
    std::string_view text;

    std::string_view operator()(std::size_t from, std::size_t to) const
    {
        return text.substr(bounds[from], bounds[to] - bounds[from]);
    }
};

template <std::size_t limit>
std::optional<Digits<limit>> numericCharacters(std::string_view value)
{
    Digits<limit> digits;
    digits.text = value;
    bool ascii = true;
    for (char c : value)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        if (value.size() > limit)
            return std::nullopt;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] < '0' || value[i] > '9')
                return std::nullopt;
            digits.bounds[i + 1] = i + 1;
        }
        digits.count = value.size();
        return digits;
    }
    bool ok = true;
    kelvane::detail::forEachCharacter(value, [&](std::size_t begin, std::size_t end) {
        const auto c = UChar32(kelvane::detail::firstCodePoint(value.substr(begin, end - begin)));
        if (digits.count == limit || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) == U_NT_NONE) {
            ok = false;
            return false;
        }
        digits.bounds[++digits.count] = end;
        return true;
    });
    if (!ok)
        return std::nullopt;
    return digits;
}

/// A non-empty run of ASCII digits as an integer; nothing for anything else.
std::optional<int> readInteger(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

/// MM/DD/CCYY from the texts as written, when month and day are in range.
bool appendCalendarDate(std::string &out, std::string_view century, std::string_view year,
                        std::string_view month, std::string_view day)
{
    const auto m = readInteger(month);
    const auto d = readInteger(day);
    if (!m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31)
        return false;
    out.append(month);
    out += '/';
    out.append(day);
    out += '/';
    out.append(century);
    out.append(year);
    return true;
}

/// Reads an amount as strtod does in the "C" locale, requiring the whole text.
std::optional<double> readAmount(std::string_view value)
{
    if (value.empty() || value.front() == ' ' || (value.front() >= '\t' && value.front() <= '\r'))
        return std::nullopt;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    char small[64];
    std::string large;
    char *text = small;
    if (value.size() < sizeof small) {
        std::memcpy(small, value.data(), value.size());
        small[value.size()] = '\0';
    } else {
        large.assign(value);
        text = large.data();
    }
    char *end = nullptr;
    const double number = strtod_l(text, &end, cLocale);
    if (end != text + value.size())
        return std::nullopt; // a trailing character, or a NUL inside the value
    return number;
}

/// What a MoneyLocaleSnapshot holds on its thread.
thread_local const std::string *t_moneyLocale = nullptr;

/// The locale for money: LC_ALL, then LC_MONETARY, then LANG; C, POSIX or nothing mean en_US.
std::string moneyLocale()
{
    const char *name = nullptr;
    for (const char *variable : {"LC_ALL", "LC_MONETARY", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value) {
            name = value;
            break;
        }
    }
    std::string locale = name ? name : "";
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return "en_US";
    return locale;
}

/// en_US text of a plain decimal with at most two decimals and fifteen digits, which a double
/// holds exactly enough that no rounding can differ from ICU's. Nothing for any other value.
bool appendPlainUsDollars(std::string &out, std::string_view value)
{
    std::string_view text = value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (fraction.size() > 2 || whole.size() + fraction.size() == 0)
        return false;
    for (std::string_view part : {whole, fraction}) {
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
        }
    }
    while (whole.size() > 1 && whole.front() == '0')
        whole.remove_prefix(1);
    if (whole.size() + fraction.size() > 15)
        return false;
    if (negative)
        out += '-';
    out += '$';
    if (whole.empty())
        whole = "0";
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += ',';
        out += whole[i];
    }
    out += '.';
    out.append(fraction);
    out.append(2 - fraction.size(), '0');
    return true;
}

/// The significant digits of a plain decimal (an optional sign, digits, an optional point and
/// more digits), leading zeros not counted; 0 for any other text (an exponent, a hexadecimal
/// number, an infinity).
std::size_t plainDecimalDigits(std::string_view value)
{
    if (!value.empty() && (value.front() == '-' || value.front() == '+'))
        value.remove_prefix(1);
    std::size_t digits = 0;
    bool point = false;
    bool leading = true;
    for (const char c : value) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            leading = leading && c == '0' && !point;
            digits += !leading;
        } else {
            return 0;
        }
    }
    return digits;
}

/// ICU's currency formatter for a locale, kept per thread: opening one costs far more than
/// formatting with it.
class CurrencyFormatter
{
public:
    bool append(std::string &out, double number, const std::string &locale)
    {
        if (!open(locale))
            return false;
        UChar currency[4];
        u_charsToUChars("USD", currency, 4);
        return appendFormatted(out, [&](UChar *buffer, std::int32_t size, UErrorCode &status) {
            return unum_formatDoubleCurrency(m_format.get(), number, currency, buffer, size,
                                             nullptr, &status);
        });
    }

    /// The amount given as a decimal string, every digit kept: no binary floating point between.
    bool appendDecimal(std::string &out, std::string_view decimal, const std::string &locale)
    {
        if (!open(locale) || decimal.size() > std::size_t(INT32_MAX))
            return false;
        return appendFormatted(out, [&](UChar *buffer, std::int32_t size, UErrorCode &status) {
            return unum_formatDecimal(m_format.get(), decimal.data(), std::int32_t(decimal.size()),
                                      buffer, size, nullptr, &status);
        });
    }

private:
    bool open(const std::string &locale)
    {
        if (!m_format || locale != m_locale) {
            UErrorCode status = U_ZERO_ERROR;
            m_format.reset(unum_open(UNUM_CURRENCY, nullptr, 0, locale.c_str(), nullptr, &status));
            if (U_SUCCESS(status)) {
                UChar currency[4];
                u_charsToUChars("USD", currency, 4);
                unum_setTextAttribute(m_format.get(), UNUM_CURRENCY_CODE, currency, 3, &status);
            }
            if (U_FAILURE(status))
                m_format.reset();
            m_locale = locale;
        }
        return m_format != nullptr;
    }

    /// Runs one of ICU's format calls, with a larger buffer when the first is too small, and
    /// appends its text as UTF-8.
    template <typename Format>
    static bool appendFormatted(std::string &out, const Format &format)
    {
        UChar buffer[128];
        UErrorCode status = U_ZERO_ERROR;
        std::int32_t length = format(buffer, std::int32_t(std::size(buffer)), status);
        std::u16string large;
        const UChar *units = buffer;
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            large.resize(std::size_t(length) + 1);
            status = U_ZERO_ERROR;
            length = format(large.data(), std::int32_t(large.size()), status);
            units = large.data();
        }
        if (U_FAILURE(status) || length <= 0)
            return false;
        std::int32_t bytes = 0;
        status = U_ZERO_ERROR;
        u_strToUTF8(nullptr, 0, &bytes, units, length, &status);
        const std::size_t at = out.size();
        out.resize(at + std::size_t(bytes));
        status = U_ZERO_ERROR;
        u_strToUTF8(out.data() + at, bytes, nullptr, units, length, &status);
        if (U_FAILURE(status)) {
            out.resize(at);
            return false;
        }
        return true;
    }

    struct Closer
    {
        void operator()(UNumberFormat *format) const { unum_close(format); }
    };
    std::unique_ptr<UNumberFormat, Closer> m_format;
    std::string m_locale;
};

} // namespace

namespace kelvane::detail {

bool appendDate(std::string &out, std::string_view value)
{
    // CCYYMMDD or YYMMDD in ASCII digits, nearly every date in a file, in one short step.
    if (value.size() == 8 || value.size() == 6) {
        bool digitsOnly = true;
        for (const char c : value)
            digitsOnly = digitsOnly && c >= '0' && c <= '9';
        if (digitsOnly) {
            const char *const at = value.data() + value.size() - 4; // the month, then the day
            const int month = (at[0] - '0') * 10 + (at[1] - '0');
            const int day = (at[2] - '0') * 10 + (at[3] - '0');
            if (month < 1 || month > 12 || day < 1 || day > 31)
                return false;
            char text[10] = {at[0], at[1], '/', at[2], at[3], '/'};
            if (value.size() == 8) {
                std::memcpy(text + 6, value.data(), 4);
            } else {
                const bool lastCentury = (value[0] - '0') * 10 + (value[1] - '0') > 50;
                std::memcpy(text + 6, lastCentury ? "19" : "20", 2);
                std::memcpy(text + 8, value.data(), 2);
            }
            out.append(text, sizeof text);
            return true;
        }
    }
    const auto digits = numericCharacters<16>(value);
    if (!digits)
        return false;
    const auto &c = *digits;
    switch (c.count) {
    case 8:
        return appendCalendarDate(out, {}, c(0, 4), c(4, 6), c(6, 8));
    case 6: {
        const auto yy = readInteger(c(0, 2));
        return appendCalendarDate(out, yy && *yy > 50 ? "19" : "20", c(0, 2), c(2, 4), c(4, 6));
    }
    case 16: {
        const std::size_t at = out.size();
        if (appendDate(out, c(0, 8))) {
            out += " \u2013 ";
            if (appendDate(out, c(8, 16)))
                return true;
        }
        out.resize(at);
        return false;
    }
    default:
        return false;
    }
}

bool appendTime(std::string &out, std::string_view value)
{
    const auto digits = numericCharacters<6>(value);
    if (!digits || (digits->count != 4 && digits->count != 6))
        return false;
    const auto &c = *digits;
    const auto hours = readInteger(c(0, 2));
    const auto minutes = readInteger(c(2, 4));
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
        return false;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", *hours, *minutes);
    out += text;
    if (c.count == 6) {
        out += ':';
        out.append(c(4, 6));
    }
    return true;
}

bool appendAmount(std::string &out, std::string_view value)
{
    // A plain decimal, which strtod would read whole too, needs neither strtod nor ICU in en_US.
    std::string asked;
    const std::string &locale = t_moneyLocale ? *t_moneyLocale : (asked = moneyLocale());
    if (locale == "en_US" && appendPlainUsDollars(out, value))
        return true;
    const auto number = readAmount(value);
    if (!number)
        return false;
    thread_local CurrencyFormatter formatter;
    // Past fifteen digits a double no longer holds every digit: such amounts go to ICU as the
    // decimal text they are. Shorter ones keep the path they always took.
    if (plainDecimalDigits(value) > 15)
        return formatter.appendDecimal(out, value, locale);
    return formatter.append(out, *number, locale);
}

} // namespace kelvane::detail

namespace X12Dictionary {

namespace {

template <bool (*append)(std::string &, std::string_view)>
std::optional<std::string> formatted(std::string_view value)
{
    std::string text;
    if (!append(text, value))
        return std::nullopt;
    return text;
}

} // namespace

std::optional<std::string> formatDate(std::string_view value)
{
    return formatted<kelvane::detail::appendDate>(value);
}

std::optional<std::string> formatTime(std::string_view value)
{
    return formatted<kelvane::detail::appendTime>(value);
}

std::optional<std::string> formatAmount(std::string_view value)
{
    return formatted<kelvane::detail::appendAmount>(value);
}

MoneyLocaleSnapshot::MoneyLocaleSnapshot()
    : m_locale(moneyLocale()), m_previous(std::exchange(t_moneyLocale, &m_locale))
{
}

MoneyLocaleSnapshot::~MoneyLocaleSnapshot()
{
    t_moneyLocale = m_previous;
}

} // namespace X12Dictionary
