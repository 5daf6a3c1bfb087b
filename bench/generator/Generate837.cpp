#include "Generate837.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace {

/// splitmix64: tiny, fast, and the same sequence on every platform (unlike std distributions).
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    /// Uniform in [low, high].
    int between(int low, int high) { return low + int(next() % std::uint64_t(high - low + 1)); }

    bool chance(int percent) { return between(1, 100) <= percent; }

    template <typename T, std::size_t N>
    const T &pick(const std::array<T, N> &items)
    {
        return items[std::size_t(next() % N)];
    }

    std::string digits(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += char('0' + between(i == 0 ? 1 : 0, 9));
        return text;
    }

    std::string letters(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += char('A' + between(0, 25));
        return text;
    }

private:
    std::uint64_t m_state;
};

struct Place
{
    std::string_view city;
    std::string_view state;
    std::string_view zipPrefix;
};

struct Payer
{
    std::string_view name;
    std::string_view id;
    std::string_view filingCode; // SBR09
};

struct Procedure
{
    std::string_view code;
    int cents; // typical charge for one unit
};

constexpr std::array<std::string_view, 40> lastNames = {
    "SMITH",     "JOHNSON",  "WILLIAMS",  "BROWN",   "JONES",    "GARCIA",   "MILLER",   "DAVIS",
    "RODRIGUEZ", "MARTINEZ", "HERNANDEZ", "LOPEZ",   "GONZALEZ", "WILSON",   "ANDERSON", "THOMAS",
    "TAYLOR",    "MOORE",    "JACKSON",   "MARTIN",  "LEE",      "PEREZ",    "THOMPSON", "WHITE",
    "HARRIS",    "SANCHEZ",  "CLARK",     "RAMIREZ", "LEWIS",    "ROBINSON", "WALKER",   "YOUNG",
    "ALLEN",     "KING",     "WRIGHT",    "SCOTT",   "TORRES",   "NGUYEN",   "HILL",     "O'BRIEN"};

constexpr std::array<std::string_view, 40> firstNames = {
    "JAMES",  "MARY",    "ROBERT",    "PATRICIA", "JOHN",    "JENNIFER", "MICHAEL",
    "LINDA",  "DAVID",   "ELIZABETH", "WILLIAM",  "BARBARA", "RICHARD",  "SUSAN",
    "JOSEPH", "JESSICA", "THOMAS",    "SARAH",    "CHARLES", "KAREN",    "CHRISTOPHER",
    "LISA",   "DANIEL",  "NANCY",     "MATTHEW",  "BETTY",   "ANTHONY",  "MARGARET",
    "MARK",   "SANDRA",  "DONALD",    "ASHLEY",   "STEVEN",  "KIMBERLY", "PAUL",
    "EMILY",  "ANDREW",  "DONNA",     "JOSHUA",   "MICHELLE"};

constexpr std::array<std::string_view, 20> streetNames = {
    "MAIN",  "OAK",      "PINE", "MAPLE",  "CEDAR",   "ELM",     "WASHINGTON",
    "LAKE",  "HILL",     "PARK", "SUNSET", "LINCOLN", "JACKSON", "CHURCH",
    "RIVER", "HIGHLAND", "MILL", "FOREST", "MEADOW",  "FRANKLIN"};

constexpr std::array<std::string_view, 8> streetSuffixes = {"ST", "AVE", "RD", "BLVD",
                                                            "DR", "LN",  "CT", "WAY"};

constexpr std::array<Place, 20> places = {{
    {"SPRINGFIELD", "IL", "627"}, {"COLUMBUS", "OH", "432"},   {"AUSTIN", "TX", "787"},
    {"DENVER", "CO", "802"},      {"PORTLAND", "OR", "972"},   {"NASHVILLE", "TN", "372"},
    {"RALEIGH", "NC", "276"},     {"MADISON", "WI", "537"},    {"PHOENIX", "AZ", "850"},
    {"ALBANY", "NY", "122"},      {"RICHMOND", "VA", "232"},   {"OMAHA", "NE", "681"},
    {"TAMPA", "FL", "336"},       {"BOISE", "ID", "837"},      {"TULSA", "OK", "741"},
    {"FRESNO", "CA", "937"},      {"LOUISVILLE", "KY", "402"}, {"SAVANNAH", "GA", "314"},
    {"DES MOINES", "IA", "503"},  {"BURLINGTON", "VT", "054"},
}};

constexpr std::array<Payer, 10> payers = {{
    {"MEDICARE PART B", "04412", "MB"},
    {"STATE MEDICAID", "77027", "MC"},
    {"BLUE SHIELD OF THE VALLEY", "BS001", "BL"},
    {"UNITED HEALTH PLAN", "87726", "CI"},
    {"GREAT LAKES HEALTH", "60054", "CI"},
    {"CIVIC HMO", "62308", "HM"},
    {"PRAIRIE MUTUAL", "39026", "CI"},
    {"COASTAL CARE PLAN", "95567", "CI"},
    {"TRI-COUNTY BENEFITS", "31114", "CI"},
    {"VETERANS COMMUNITY CARE", "TWVACCN", "VA"},
}};

constexpr std::array<std::string_view, 40> diagnoses = {
    "I10",   "E119",   "E785",    "J449",    "J45909", "M545",  "M1711", "K219",  "F329", "F411",
    "G4733", "N390",   "R079",    "R51",     "J069",   "J029",  "Z0000", "Z0001", "Z23",  "Z79899",
    "E039",  "E6601",  "I2510",   "I480",    "N183",   "M7918", "R109",  "R0602", "L309", "H6590",
    "K5900", "M25561", "S93401A", "S6990XA", "G439",   "R42",   "E559",  "D649",  "B349", "Z1231"};

constexpr std::array<Procedure, 30> procedures = {{
    {"99213", 11000}, {"99214", 16500}, {"99212", 7500},  {"99215", 22000}, {"99203", 15000},
    {"99204", 23000}, {"99396", 25000}, {"99395", 24000}, {"36415", 1500},  {"85025", 2200},
    {"80053", 3500},  {"80061", 4000},  {"83036", 2800},  {"81002", 900},   {"90471", 2500},
    {"90686", 3200},  {"93000", 4500},  {"71046", 9000},  {"73610", 8500},  {"97110", 6000},
    {"97140", 5500},  {"97530", 6500},  {"20610", 18000}, {"11721", 9500},  {"17110", 14000},
    {"96372", 3000},  {"J1100", 1200},  {"G0439", 17500}, {"87880", 2600},  {"94640", 4200},
}};

constexpr std::array<std::string_view, 6> modifiers = {"25", "59", "LT", "RT", "GT", "95"};

constexpr std::array<std::string_view, 10> taxonomies = {
    "207Q00000X", "208D00000X", "207R00000X", "208000000X", "207X00000X",
    "225100000X", "207N00000X", "261QP2300X", "363LF0000X", "2084N0400X"};

constexpr std::array<std::string_view, 12> organizationWords = {
    "FAMILY",   "COMMUNITY", "VALLEY", "RIVERSIDE", "SUMMIT",     "NORTHSIDE",
    "LAKEVIEW", "PIONEER",   "HARBOR", "CENTRAL",   "GREENFIELD", "MERIDIAN"};

constexpr std::array<std::string_view, 6> organizationKinds = {
    "MEDICAL GROUP", "PRIMARY CARE", "HEALTH CENTER", "CLINIC", "PHYSICIANS PC", "ORTHOPEDICS"};

// Office, outpatient hospital, telehealth, urgent care, home.
constexpr std::array<std::string_view, 5> facilityCodes = {"11", "22", "02", "20", "12"};

std::string padded(std::uint64_t value, std::size_t width)
{
    std::string text = std::to_string(value);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

std::string padRight(std::string_view text, std::size_t width)
{
    std::string out(text);
    out.resize(width, ' ');
    return out;
}

/// Money the way claims usually write it: no trailing zeros after the point, none at all for
/// whole amounts ("125", "125.5", "125.45").
std::string money(long long cents)
{
    std::string text = std::to_string(cents / 100);
    const long long fraction = cents % 100;
    if (fraction != 0) {
        text += '.';
        text += char('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += char('0' + fraction % 10);
    }
    return text;
}

std::string date(std::chrono::sys_days day)
{
    const std::chrono::year_month_day ymd(day);
    return padded(std::uint64_t(int(ymd.year())), 4) + padded(unsigned(ymd.month()), 2) +
           padded(unsigned(ymd.day()), 2);
}

/// A 10-digit NPI with a valid check digit: Luhn over "80840" plus the first nine digits, where
/// the prefix always contributes 24.
std::string npi(Random &random)
{
    std::string base = random.digits(9);
    int sum = 24;
    for (std::size_t i = 0; i < base.size(); ++i) {
        int digit = base[i] - '0';
        if (i % 2 == 0) {
            digit *= 2;
            if (digit > 9)
                digit -= 9;
        }
        sum += digit;
    }
    base += char('0' + (10 - sum % 10) % 10);
    return base;
}

class Writer
{
public:
    explicit Writer(std::size_t approximateBytes, std::uint64_t seed)
        : m_target(approximateBytes), m_random(seed)
    {
        m_out.reserve(approximateBytes + 64 * 1024);
    }

    std::string run()
    {
        do
            writeInterchange();
        while (m_out.size() < m_target);
        return std::move(m_out);
    }

private:
    void segment(std::initializer_list<std::string_view> parts)
    {
        bool first = true;
        for (std::string_view part : parts) {
            if (!first)
                m_out += '*';
            m_out += part;
            first = false;
        }
        m_out += "~\n";
        ++m_setSegments;
    }

    bool full() const { return m_out.size() >= m_target; }

    std::string personName() { return std::string(m_random.pick(lastNames)); }

    std::string organizationName()
    {
        return std::string(m_random.pick(organizationWords)) + ' ' +
               std::string(m_random.pick(organizationKinds));
    }

    void address()
    {
        const std::string street = std::to_string(m_random.between(1, 9899)) + ' ' +
                                   std::string(m_random.pick(streetNames)) + ' ' +
                                   std::string(m_random.pick(streetSuffixes));
        if (m_random.chance(15))
            segment({"N3", street, "STE " + std::to_string(m_random.between(100, 450))});
        else
            segment({"N3", street});
        const Place &place = m_random.pick(places);
        std::string zip = std::string(place.zipPrefix) + m_random.digits(2);
        if (m_random.chance(60))
            zip += padded(std::uint64_t(m_random.between(0, 9999)), 4);
        segment({"N4", place.city, place.state, zip});
    }

    void writeInterchange()
    {
        ++m_interchangeControl;
        const std::chrono::sys_days created =
            std::chrono::sys_days(std::chrono::year(2024) / 1 / 1) +
            std::chrono::days(m_random.between(0, 365));
        const std::string createdDate = date(created);
        const std::string createdTime = padded(std::uint64_t(m_random.between(0, 23)), 2) +
                                        padded(std::uint64_t(m_random.between(0, 59)), 2);
        const std::string control = padded(m_interchangeControl, 9);

        // The header is fixed-width: 105 characters plus the terminator, whatever the ids are.
        const std::size_t headerStart = m_out.size();
        m_out += "ISA*00*          *00*          *ZZ*";
        m_out += padRight("KELVSUBMIT01", 15);
        m_out += "*ZZ*";
        m_out += padRight("CLEARINGHSE", 15);
        m_out += '*';
        m_out += createdDate.substr(2);
        m_out += '*';
        m_out += createdTime;
        m_out += "*^*00501*";
        m_out += control;
        m_out += "*0*P*:~";
        if (m_out.size() - headerStart != 106)
            throw std::logic_error("generate837: ISA is not 106 characters");
        m_out += '\n';

        ++m_groupControl;
        const std::string groupControl = std::to_string(m_groupControl);
        segment({"GS", "HC", "KELVSUBMIT01", "CLEARINGHSE", createdDate, createdTime, groupControl,
                 "X", "005010X222A1"});

        // A few thousand claims per interchange, spread over several transaction sets.
        const int sets = m_random.between(2, 6);
        int setsWritten = 0;
        for (int set = 0; set < sets && !(setsWritten > 0 && full()); ++set) {
            writeTransactionSet(createdDate, createdTime, m_random.between(300, 900));
            ++setsWritten;
        }

        segment({"GE", std::to_string(setsWritten), groupControl});
        segment({"IEA", "1", control});
    }

    void writeTransactionSet(const std::string &createdDate, const std::string &createdTime,
                             int claims)
    {
        ++m_setControl;
        const std::string control = padded(m_setControl % 10000, 4);
        m_setSegments = 0;
        segment({"ST", "837", control, "005010X222A1"});
        segment({"BHT", "0019", "00", m_random.digits(10), createdDate, createdTime, "CH"});
        segment({"NM1", "41", "2", "KELVANE TEST SUBMITTER", "", "", "", "", "46", "KELVSUBMIT01"});
        if (m_random.chance(50))
            segment({"PER", "IC", std::string(m_random.pick(firstNames)) + ' ' + personName(), "TE",
                     "555" + m_random.digits(7)});
        else
            segment({"PER", "IC", "BILLING OFFICE", "TE", "555" + m_random.digits(7), "EM",
                     "billing@example.com"});
        segment({"NM1", "40", "2", "CLEARINGHOUSE", "", "", "", "", "46", "CLEARINGHSE"});

        int hierarchy = 0;
        int written = 0;
        while (written < claims && !(written > 0 && full())) {
            const int billingProvider = ++hierarchy;
            segment({"HL", std::to_string(billingProvider), "", "20", "1"});
            segment({"PRV", "BI", "PXC", m_random.pick(taxonomies)});
            segment({"NM1", "85", "2", organizationName(), "", "", "", "", "XX", npi(m_random)});
            address();
            segment({"REF", "EI", m_random.digits(9)});

            const int subscribers = m_random.between(5, 60);
            for (int s = 0; s < subscribers && written < claims; ++s) {
                if (s > 0 && full())
                    break;
                segment({"HL", std::to_string(++hierarchy), std::to_string(billingProvider), "22",
                         "0"});
                writeSubscriber();
                const int subscriberClaims = m_random.chance(10) ? 2 : 1;
                for (int c = 0; c < subscriberClaims; ++c) {
                    writeClaim();
                    ++written;
                }
            }
        }

        // SE01 counts the ST and SE segments themselves, hence the + 1 for the SE being written.
        segment({"SE", std::to_string(m_setSegments + 1), control});
    }

    void writeSubscriber()
    {
        const Payer &payer = m_random.pick(payers);
        segment({"SBR", m_random.chance(85) ? "P" : "S", "18",
                 m_random.chance(70) ? "GRP" + m_random.digits(6) : std::string(), "", "", "", "",
                 "", payer.filingCode});
        const std::string last = personName();
        const std::string first(m_random.pick(firstNames));
        const std::string memberId = m_random.letters(3) + m_random.digits(9);
        if (m_random.chance(40))
            segment({"NM1", "IL", "1", last, first, m_random.letters(1), "", "", "MI", memberId});
        else
            segment({"NM1", "IL", "1", last, first, "", "", "", "MI", memberId});
        address();
        const std::chrono::sys_days birth = std::chrono::sys_days(std::chrono::year(1935) / 1 / 1) +
                                            std::chrono::days(m_random.between(0, 32000));
        segment({"DMG", "D8", date(birth), m_random.chance(52) ? "F" : "M"});
        segment({"NM1", "PR", "2", payer.name, "", "", "", "", "PI", payer.id});
    }

    void writeClaim()
    {
        const std::chrono::sys_days service =
            std::chrono::sys_days(std::chrono::year(2023) / 6 / 1) +
            std::chrono::days(m_random.between(0, 540));
        const std::string serviceDate = date(service);

        // Charges first: CLM02 is the sum of the line charges.
        struct Line
        {
            const Procedure *procedure;
            int units;
            long long cents;
        };
        std::array<Line, 6> lines{};
        const int lineCount = m_random.between(1, 6);
        long long total = 0;
        for (int i = 0; i < lineCount; ++i) {
            Line &line = lines[std::size_t(i)];
            line.procedure = &m_random.pick(procedures);
            line.units = m_random.chance(85) ? 1 : m_random.between(2, 4);
            // Fee schedules differ: up to 30 % either way, in whole cents.
            const long long unitCents = line.procedure->cents * m_random.between(70, 130) / 100;
            line.cents = unitCents * line.units;
            total += line.cents;
        }

        const std::string facility(m_random.pick(facilityCodes));
        segment({"CLM", m_random.letters(2) + m_random.digits(m_random.between(6, 12)),
                 money(total), "", "", facility + ":B:1", "Y", "A", "Y", "Y"});
        if (m_random.chance(60))
            segment(
                {"DTP", "431", "D8", date(service - std::chrono::days(m_random.between(0, 90)))});
        if (m_random.chance(20))
            segment({"REF", "G1", m_random.letters(2) + m_random.digits(8)});
        segment({"REF", "D9", m_random.digits(14)});

        // Distinct codes: the principal one (ABK) and up to seven others (ABF).
        std::array<std::string_view, 8> codes{};
        const int codeCount = m_random.between(1, 8);
        for (int i = 0; i < codeCount; ++i) {
            std::string_view code;
            bool repeated = true;
            while (repeated) {
                code = m_random.pick(diagnoses);
                repeated = false;
                for (int k = 0; k < i; ++k)
                    repeated = repeated || codes[std::size_t(k)] == code;
            }
            codes[std::size_t(i)] = code;
        }
        std::string hi = "HI*ABK:" + std::string(codes[0]);
        for (int i = 1; i < codeCount; ++i) {
            hi += "*ABF:";
            hi += codes[std::size_t(i)];
        }
        m_out += hi;
        m_out += "~\n";
        ++m_setSegments;

        segment({"NM1", "82", "1", personName(), std::string(m_random.pick(firstNames)), "", "", "",
                 "XX", npi(m_random)});
        segment({"PRV", "PE", "PXC", m_random.pick(taxonomies)});

        for (int i = 0; i < lineCount; ++i) {
            const Line &line = lines[std::size_t(i)];
            segment({"LX", std::to_string(i + 1)});
            std::string procedure = "HC:" + std::string(line.procedure->code);
            if (m_random.chance(15)) {
                procedure += ':';
                procedure += m_random.pick(modifiers);
            }
            // Up to four pointers into the HI codes, the first one always the principal code.
            std::string pointers = "1";
            const int pointerCount = m_random.between(1, std::min(codeCount, 4));
            for (int p = 2; p <= pointerCount; ++p)
                pointers += ':' + std::to_string(p);
            segment({"SV1", procedure, money(line.cents), "UN", std::to_string(line.units), "", "",
                     pointers});
            segment({"DTP", "472", "D8", serviceDate});
        }
    }

    std::size_t m_target;
    Random m_random;
    std::string m_out;
    std::uint64_t m_interchangeControl = 0;
    std::uint64_t m_groupControl = 0;
    std::uint64_t m_setControl = 0;
    std::size_t m_setSegments = 0; // segments of the open transaction set so far, ST included
};

} // namespace

std::string generate837(std::size_t approximateBytes, std::uint64_t seed)
{
    return Writer(approximateBytes, seed).run();
}
