#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

class X12Document;
class X12Segment;
struct X12Finding;

/// The built-in vocabulary of X12: names of transaction sets, functional groups, segments and
/// elements, and the titles and one-line summaries of tree nodes. Tables are built once, on first
/// use, and are read-only afterwards, so every function here may be called from any thread.
namespace X12Dictionary {

using NameTable = std::unordered_map<std::string_view, std::string_view>;
using CodeList = NameTable; // code to meaning
using ElementNameTable = std::unordered_map<std::string_view, std::span<const std::string_view>>;

/// ST01 code to transaction set name (22 entries).
const NameTable &transactionSets();
/// GS01 code to functional group name with its set numbers (13 entries).
const NameTable &functionalGroups();
/// Segment tag to segment name (103 entries).
const NameTable &segmentNames();
/// Segment tag to the names of its elements; entry k names position k + 1 (85 segments).
const ElementNameTable &elementNames();

/// While one lives, the texts this thread composes from segments (titles, subtitles, names) quote
/// at most `bytes` of the tag and of each value, cut between characters. A window shows one line
/// of them, and a hostile segment of gigabytes would otherwise make texts of gigabytes each time
/// its row is painted. The command line and the exports compose in full.
class QuotedPieceLimit
{
public:
    explicit QuotedPieceLimit(std::size_t bytes) noexcept;
    ~QuotedPieceLimit();
    QuotedPieceLimit(const QuotedPieceLimit &) = delete;
    QuotedPieceLimit &operator=(const QuotedPieceLimit &) = delete;

private:
    std::size_t m_previous;
};

/// While one lives, the amounts this thread formats follow the money locale the environment named
/// when it was made, rather than asking the environment for each amount: for writers that format
/// millions of values in a run.
class MoneyLocaleSnapshot
{
public:
    MoneyLocaleSnapshot();
    ~MoneyLocaleSnapshot();
    MoneyLocaleSnapshot(const MoneyLocaleSnapshot &) = delete;
    MoneyLocaleSnapshot &operator=(const MoneyLocaleSnapshot &) = delete;

private:
    std::string m_locale;
    const std::string *m_previous;
};

/// The segment's name, or "Segment " and the tag for tags the dictionary does not know.
std::string segmentName(std::string_view tag);

/// The title of a segment node, which the segment list shows too: the tag, " — ", its name.
std::string segmentTitle(std::string_view tag);

/// The transaction set's name, or "Transaction set " and the code.
std::string transactionSetName(std::string_view code);

/// The element's name at a position counted from 1, or its element reference (NM113, ZZZ01).
std::string elementName(std::string_view tag, std::ptrdiff_t position);

/// The tag followed by the position written as "%02d": NM101, CAS18, CAS100, NM100. A tag of more
/// than 32 bytes is cut there and followed by "…".
std::string elementReference(std::string_view tag, std::ptrdiff_t position);

/// The tag as references and findings quote it: a tag of more than 32 bytes (a file without
/// element separators is one tag) is cut there, between characters, and followed by "…".
std::string quotedTag(std::string_view tag);

/// What the dictionary makes of one element: its reference, its name, its value as written, and
/// the value made readable, a formatted date, time or amount, else the meaning of its code. The
/// report, the inspector and the JSON all show elements this way.
struct ElementDescription
{
    enum class Reading { plain, formatted, decoded };

    std::string reference;  // NM103
    std::string name;       // "Last Name or Organization", or the reference for unnamed elements
    std::string_view value; // as written
    std::string readable;   // empty when plain
    Reading reading = Reading::plain;
};

ElementDescription describeElement(std::string_view tag, std::ptrdiff_t position,
                                   std::string_view value);

/// What the dictionary knows of the elements of one segment tag, looked up once, so that
/// describing each element of a segment costs no lookup by tag: for writers that go through
/// millions of elements. describeElement() is describe() of a vocabulary made for the one call.
class ElementVocabulary
{
public:
    /// How the values at one position are made readable; defined beside the tables.
    struct Rule;

    explicit ElementVocabulary(std::string_view tag);

    ElementDescription describe(std::ptrdiff_t position, std::string_view value) const;

    /// The tag as element references show it: cut to 32 bytes and "…" when longer.
    std::string_view referenceTag() const noexcept { return m_referenceTag; }
    void appendReference(std::string &out, std::ptrdiff_t position) const;
    /// The element's name from the table, or nothing where its reference stands in for it.
    std::optional<std::string_view> tableName(std::ptrdiff_t position) const noexcept;
    void appendName(std::string &out, std::ptrdiff_t position) const;
    /// Appends the formatted date, time or amount of an element that carries one.
    bool appendFormatted(std::string &out, std::ptrdiff_t position, std::string_view value) const;
    /// The meaning of a non-empty coded value, in the code list's static text.
    std::optional<std::string_view> meaning(std::ptrdiff_t position, std::string_view value) const;
    /// Appends the readable text (formatted, else decoded) and says which it was; appends
    /// nothing for a plain value.
    ElementDescription::Reading appendReadable(std::string &out, std::ptrdiff_t position,
                                               std::string_view value) const;

private:
    const Rule *rule(std::ptrdiff_t position) const noexcept;

    std::string m_referenceTag;
    std::span<const std::string_view> m_names;
    const Rule *m_rules = nullptr; // entry p is for position p; entry 0 is unused
    std::size_t m_ruleCount = 0;
};

// Code lists, by the elements that use them.
const CodeList &entityIdentifier();     // NM101, N101
const CodeList &entityTypeQualifier();  // NM102
const CodeList &idCodeQualifier();      // NM108, N103, ISA05, ISA07
const CodeList &claimStatus();          // CLP02
const CodeList &adjustmentGroup();      // CAS01
const CodeList &hierarchicalLevel();    // HL03
const CodeList &relationship();         // SBR02, PAT01, INS02
const CodeList &payerResponsibility();  // SBR01
const CodeList &claimFilingIndicator(); // CLP06, SBR09
const CodeList &genderCode();           // DMG03
const CodeList &dtpQualifier();         // DTP01
const CodeList &refQualifier();         // REF01
const CodeList &amtQualifier();         // AMT01
const CodeList &qtyQualifier();         // QTY01
const CodeList &usageIndicator();       // ISA15
const CodeList &paymentMethod();        // BPR04
const CodeList &creditDebit();          // BPR03
const CodeList &transactionHandling();  // BPR01
const CodeList &yesNo();                // INS01, CLM11, CLM20
const CodeList &ackCode();              // AK901, IK501, AK501

/// Element reference (NM101) to its code list (40 entries).
const std::unordered_map<std::string_view, const CodeList *> &codeLists();

/// The meaning of a coded element value, or nothing for an empty value, an element without a
/// code list, or a code the list does not have.
std::optional<std::string> decode(std::string_view tag, std::ptrdiff_t position,
                                  std::string_view value);

/// A readable date, time or amount for the elements that carry one, or nothing.
std::optional<std::string> formatValue(std::string_view tag, std::ptrdiff_t position,
                                       std::string_view value);

/// CCYYMMDD or YYMMDD as MM/DD/CCYY (YY above 50 is 19YY), and two CCYYMMDD dates as a range.
std::optional<std::string> formatDate(std::string_view value);
/// HHMM or HHMMSS as HH:MM or HH:MM:SS.
std::optional<std::string> formatTime(std::string_view value);
/// A decimal amount as US dollars in the user's locale (LC_ALL, LC_MONETARY, LANG; en_US if none).
std::optional<std::string> formatAmount(std::string_view value);

/// False for a document that is no X12 at all (a binary, a PDF, a letter that happened to cut
/// into segments): no ISA, GS or ST among its first segments, and almost none of their tags
/// known. Looks at the first few thousand segments only.
bool looksLikeX12(const X12Document &document);

/// The findings that --check and the JSON report for a document: the envelope findings of its
/// walk, after an error on the first segment when the file does not look like X12 at all, which
/// the document cannot tell by itself.
class ReportedFindings
{
public:
    explicit ReportedFindings(const X12Document &document);

    std::size_t size() const noexcept;
    X12Finding operator[](std::size_t index) const;
    /// The index (from 0) of the segment finding `index` concerns, and whether it is an error,
    /// without composing its message.
    std::uint32_t segment(std::size_t index) const noexcept;
    bool isError(std::size_t index) const noexcept;

private:
    const X12Document &m_document;
    std::size_t m_notX12; // 1 when the file does not look like X12
};

/// The title and the one-line summary (may be empty) of node `index` of a document's tree: as the
/// tree, the exports and the report show them. Node i stands for segment i.
std::string nodeTitle(const X12Document &document, std::uint32_t index);
std::string nodeSubtitle(const X12Document &document, std::uint32_t index);
/// The same appended to `out`, for writers that go through millions of nodes and share the
/// segment's handle between both texts (it finds the segment's elements once).
void appendNodeTitle(const X12Document &document, const X12Segment &segment, std::string &out);
void appendNodeSubtitle(const X12Document &document, const X12Segment &segment, std::string &out);

/// The person or organisation name of an NM1 or N1 segment.
std::string personName(const X12Segment &segment);

/// Title of a loop node, made from the loop's first segment.
std::string loopTitle(const X12Segment &segment);
/// Subtitle of a loop node, made from the loop's first segment.
std::string loopSubtitle(const X12Segment &segment);
/// One-line summary of a segment, for segment nodes and the segment list.
std::string segmentSubtitle(const X12Segment &segment);
/// Subtitle of an interchange (ISA) or functional group (GS) node; empty for other segments.
std::string envelopeSubtitle(const X12Segment &segment);

} // namespace X12Dictionary
