#include "core/dictionary/X12Dictionary.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using X12DictionaryTest = testing_support::UsLocaleTest;

TEST_F(X12DictionaryTest, NamesFallBackToTheTagOrTheReference)
{
    // Every segment with element names has a name of its own.
    for (const auto &[tag, list] : X12Dictionary::elementNames())
        EXPECT_TRUE(X12Dictionary::segmentNames().contains(tag)) << tag;
    const std::pair<std::string, std::string> cases[] = {
        {X12Dictionary::segmentName("MOA2"), "Outpatient Adjudication"},
        {X12Dictionary::segmentName("XYZ"), "Segment XYZ"},
        {X12Dictionary::segmentName("nm1"), "Segment nm1"},
        {X12Dictionary::segmentName(""), "Segment "},
        {X12Dictionary::transactionSetName("820P"), "Premium Payment"},
        {X12Dictionary::transactionSetName("123"), "Transaction set 123"},
        {X12Dictionary::transactionSetName(""), "Transaction set "},
        // The last name of a list, one past it, and none before the first.
        {X12Dictionary::elementName("NM1", 12), "Name Last or Organization"},
        {X12Dictionary::elementName("NM1", 13), "NM113"},
        {X12Dictionary::elementName("NM1", 0), "NM100"},
        {X12Dictionary::elementName("CAS", 19), "Adjustment Quantity"},
        {X12Dictionary::elementName("ISA", 16), "Component Separator"},
        {X12Dictionary::elementName("ZZZ", 1), "ZZZ01"},
        {X12Dictionary::elementName("SE", 3), "SE03"},
        {X12Dictionary::elementName("CR1", 2), "CR102"},
        {X12Dictionary::elementReference("CAS", 100), "CAS100"},
        {X12Dictionary::elementReference("NM1", -1), "NM1-1"},
    };
    for (const auto &[name, expected] : cases)
        EXPECT_EQ(name, expected);
}

std::string show(const std::optional<std::string> &text)
{
    return text ? *text : "<nothing>";
}

TEST_F(X12DictionaryTest, Decode)
{
    struct Case
    {
        std::string tag;
        std::ptrdiff_t position;
        std::string value;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"NM1", 1, "85", "Billing Provider"},
        {"NM1", 1, "XX", "<nothing>"},
        {"NM1", 1, "", "<nothing>"},
        {"NM1", 1, "il", "<nothing>"},
        {"N1", 1, "PR", "Payer"},
        {"PER", 3, "WP", "Work Phone"},
        {"PER", 5, "WP", "<nothing>"},
        {"PER", 7, "EM", "Email"},
        {"DTP", 1, "471E", "Prescription"},
        {"GS", 1, "HC", "Health Care Claim (837)"},
        {"CLM", 11, "Y", "Yes"},
        {"CLM", 20, "W", "Not Applicable"},
        {"HL", 3, "22", "Subscriber"},
        {"CLP", 2, "19", "Processed as Primary, Forwarded"},
        {"REF", 1, " EI", "<nothing>"},
        {"BHT", 6, "31", "Subrogation Demand"},
        {"IK5", 1, "E", "Accepted, But Errors Were Noted"},
        {"ISA", 5, "ZZ", "Mutually Defined"},
        {"NM1", 101, "85", "<nothing>"},
        // Element 101 of a segment NM is not NM101, whatever the two spell together.
        {"NM", 101, "85", "<nothing>"},
        {"AVERYLONGTAGINDEED", 1, "85", "<nothing>"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(show(X12Dictionary::decode(c.tag, c.position, c.value)), c.expected)
            << c.tag << c.position << " " << c.value;
}

TEST_F(X12DictionaryTest, DescribeElement)
{
    using Reading = X12Dictionary::ElementDescription::Reading;
    auto text = [](const X12Dictionary::ElementDescription &d) {
        const char *reading = d.reading == Reading::formatted ? "formatted"
                              : d.reading == Reading::decoded ? "decoded"
                                                              : "plain";
        return d.reference + " | " + d.name + " | " + std::string(d.value) + " | " + d.readable +
               " | " + reading;
    };
    const std::vector<std::pair<X12Dictionary::ElementDescription, std::string>> cases{
        {X12Dictionary::describeElement("DTP", 3, "20240315"),
         "DTP03 | Date Time Period | 20240315 | 03/15/2024 | formatted"},
        {X12Dictionary::describeElement("NM1", 1, "85"),
         "NM101 | Entity Identifier Code | 85 | Billing Provider | decoded"},
        {X12Dictionary::describeElement("NM1", 3, "DOE"),
         "NM103 | Last Name or Organization | DOE |  | plain"},
        // An amount that does not read as one stays plain; so does an unknown code.
        {X12Dictionary::describeElement("CLM", 2, "abc"),
         "CLM02 | Total Claim Charge Amount | abc |  | plain"},
        {X12Dictionary::describeElement("NM1", 1, "Q9"),
         "NM101 | Entity Identifier Code | Q9 |  | plain"},
        {X12Dictionary::describeElement("ZZZ", 1, "X"), "ZZZ01 | ZZZ01 | X |  | plain"},
        {X12Dictionary::describeElement("NM1", 0, "X"), "NM100 | NM100 | X |  | plain"},
        {X12Dictionary::describeElement(std::string(40, 'T'), 2, "X"),
         std::string(32, 'T') + "\u202602 | " + std::string(32, 'T') + "\u202602 | X |  | plain"},
    };
    for (const auto &[description, expected] : cases)
        EXPECT_EQ(text(description), expected);
}

TEST_F(X12DictionaryTest, FormatValue)
{
    EXPECT_EQ(show(X12Dictionary::formatValue("DTP", 3, "20240315")), "03/15/2024");
    EXPECT_EQ(show(X12Dictionary::formatValue("DTP", 3, "20240101-20240131")), "<nothing>");
    EXPECT_EQ(show(X12Dictionary::formatValue("ISA", 10, "1230")), "12:30");
    EXPECT_EQ(show(X12Dictionary::formatValue("GS", 5, "12304599")), "<nothing>");
    EXPECT_EQ(show(X12Dictionary::formatValue("CLM", 2, "150")), "$150.00");
    EXPECT_EQ(show(X12Dictionary::formatValue("CLM", 2, "abc")), "<nothing>");
    EXPECT_EQ(show(X12Dictionary::formatValue("NM1", 1, "85")), "<nothing>");
    EXPECT_EQ(show(X12Dictionary::formatValue("DTP", 3, "")), "<nothing>");
    EXPECT_EQ(show(X12Dictionary::formatValue("TDS", 1, "12345")), "$12,345.00");
    EXPECT_EQ(show(X12Dictionary::formatValue("CAS", 18, "-7")), "-$7.00");
    EXPECT_EQ(show(X12Dictionary::formatValue("BGN", 4, "0905")), "09:05");
}

TEST_F(X12DictionaryTest, Dates)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"20240315", "03/15/2024"},
        {"240315", "03/15/2024"},
        {"500101", "01/01/2050"},
        {"510101", "01/01/1951"},
        {"990101", "01/01/1999"},
        {"2024010120240131", "01/01/2024 \u2013 01/31/2024"},
        {"20240101-20240131", "<nothing>"},
        {"2024130120240131", "<nothing>"},
        {"2024010120241331", "<nothing>"},
        {"20240231", "02/31/2024"},
        {"00000101", "01/01/0000"},
        {"20241301", "<nothing>"},
        {"20240100", "<nothing>"},
        {"20240001", "<nothing>"},
        {"20241232", "<nothing>"},
        {"241231", "12/31/2024"},
        {"240100", "<nothing>"},
        {"240001", "<nothing>"},
        {"2024031a", "<nothing>"},
        {"2024031", "<nothing>"},
        {"2024-03-15", "<nothing>"},
        {"", "<nothing>"},
        {" 20240315", "<nothing>"},
        // Numeric but not ASCII: the year is kept as written, month and day must be read.
        {"\u0662\u0660\u0662\u00340315", "03/15/\u0662\u0660\u0662\u0034"},
        {"2024\u0660\u00335", "<nothing>"},
        {"\uFF12\uFF14\uFF10\uFF13\uFF11\uFF15", "<nothing>"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(show(X12Dictionary::formatDate(value)), expected) << value;
}

TEST_F(X12DictionaryTest, Times)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"1230", "12:30"},      {"0905", "09:05"},     {"123045", "12:30:45"},
        {"123099", "12:30:99"}, {"2400", "<nothing>"}, {"1260", "<nothing>"},
        {"12:30", "<nothing>"}, {"123", "<nothing>"},  {"12304599", "<nothing>"},
        {"", "<nothing>"},      {"0000", "00:00"},     {"1230\u0664\u0665", "12:30:\u0664\u0665"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(show(X12Dictionary::formatTime(value)), expected) << value;
}

TEST_F(X12DictionaryTest, AmountsInUsDollars)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"150", "$150.00"},
        {"150.00", "$150.00"},
        {"1234.5", "$1,234.50"},
        {"-310", "-$310.00"},
        {"+5", "$5.00"},
        {"007", "$7.00"},
        {".5", "$0.50"},
        {"5.", "$5.00"},
        {"-0", "-$0.00"},
        {"1e3", "$1,000.00"},
        {"2.675", "$2.68"},
        {"0.005", "$0.00"},
        {"123456789012345", "$123,456,789,012,345.00"},
        // Past fifteen digits every digit still counts: no binary floating point on the way.
        {"99999999999999999999", "$99,999,999,999,999,999,999.00"},
        {"1234567890123456", "$1,234,567,890,123,456.00"},
        {"-12345678901234567.89", "-$12,345,678,901,234,567.89"},
        {"1234567890123456.785", "$1,234,567,890,123,456.78"},
        {"+00000000000000000001.5", "$1.50"},
        {"0x10", "$16.00"},
        {"150 ", "<nothing>"},
        {" 150", "<nothing>"},
        {"\n150", "<nothing>"},
        {"1,234.50", "<nothing>"},
        {"abc", "<nothing>"},
        {"", "<nothing>"},
        {"-", "<nothing>"},
        {std::string("15\0"
                     "0",
                     4),
         "<nothing>"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(show(X12Dictionary::formatAmount(value)), expected) << value;
    // A megabyte of digits formats, digit for digit.
    const auto huge = X12Dictionary::formatAmount(std::string(1 << 20, '9'));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->size(), 1u + (1u << 20) + ((1u << 20) - 1) / 3 + 3);
}

TEST_F(X12DictionaryTest, AmountsFollowTheUserLocale)
{
    const std::vector<std::tuple<const char *, const char *, std::string>> cases{
        {"LC_ALL", "de_DE.UTF-8", "1.234,50\u00A0$"},
        {"LC_ALL", "fr_FR", "1\u202F234,50\u00A0$US"},
        {"LC_MONETARY", "de_DE", "1.234,50\u00A0$"},
        {"LANG", "C.UTF-8", "$1,234.50"},
        {"LANG", "POSIX", "$1,234.50"},
        {"LANG", "", "$1,234.50"},
    };
    for (const auto &[variable, locale, expected] : cases) {
        for (const char *name : {"LC_ALL", "LC_MONETARY", "LANG"})
            m_environment.set(name, nullptr);
        m_environment.set(variable, locale);
        EXPECT_EQ(show(X12Dictionary::formatAmount("1234.5")), expected)
            << variable << "=" << locale;
    }
}

} // namespace
