#include "core/dictionary/X12Dictionary.h"

#include "core/dictionary/Dictionary_p.h"
#include "core/support/TagKey_p.h"
#include "core/model/X12Document.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

using kelvane::detail::Entry;
using kelvane::detail::makeTable;

constexpr std::array transactionSetTable{
    Entry{"100", "Insurance Plan Description"},
    Entry{"270", "Eligibility, Coverage or Benefit Inquiry"},
    Entry{"271", "Eligibility, Coverage or Benefit Information"},
    Entry{"276", "Health Care Claim Status Request"},
    Entry{"277", "Health Care Claim Status Notification"},
    Entry{"278", "Health Care Services Review"},
    Entry{"820", "Payroll Deducted and Other Group Premium Payment"},
    Entry{"834", "Benefit Enrollment and Maintenance"},
    Entry{"835", "Health Care Claim Payment/Advice"},
    Entry{"837", "Health Care Claim"},
    Entry{"864", "Text Message"},
    Entry{"997", "Functional Acknowledgment"},
    Entry{"999", "Implementation Acknowledgment"},
    Entry{"810", "Invoice"},
    Entry{"820P", "Premium Payment"},
    Entry{"846", "Inventory Inquiry/Advice"},
    Entry{"850", "Purchase Order"},
    Entry{"855", "Purchase Order Acknowledgment"},
    Entry{"856", "Ship Notice/Manifest"},
    Entry{"860", "Purchase Order Change Request"},
    Entry{"864M", "Text Message"},
    Entry{"997F", "Functional Acknowledgment"},
};

constexpr std::array functionalGroupTable{
    Entry{"HC", "Health Care Claim (837)"},
    Entry{"HP", "Health Care Claim Payment/Advice (835)"},
    Entry{"HB", "Eligibility Benefit Information (271)"},
    Entry{"HS", "Eligibility Benefit Inquiry (270)"},
    Entry{"HR", "Health Care Claim Status Request (276)"},
    Entry{"HN", "Health Care Claim Status Notification (277)"},
    Entry{"HI", "Health Care Services Review (278)"},
    Entry{"BE", "Benefit Enrollment and Maintenance (834)"},
    Entry{"RA", "Payment Order/Remittance Advice (820)"},
    Entry{"FA", "Functional Acknowledgment (997/999)"},
    Entry{"PO", "Purchase Order (850)"},
    Entry{"IN", "Invoice (810)"},
    Entry{"SH", "Ship Notice/Manifest (856)"},
};

constexpr std::array segmentNameTable{
    Entry{"ISA", "Interchange Control Header"},
    Entry{"EQ", "Eligibility or Benefit Inquiry"},
    Entry{"IEA", "Interchange Control Trailer"},
    Entry{"EB", "Eligibility or Benefit Information"},
    Entry{"GS", "Functional Group Header"},
    Entry{"III", "Information"},
    Entry{"GE", "Functional Group Trailer"},
    Entry{"AAA", "Request Validation"},
    Entry{"ST", "Transaction Set Header"},
    Entry{"MSG", "Message Text"},
    Entry{"SE", "Transaction Set Trailer"},
    Entry{"STC", "Status Information"},
    Entry{"BHT", "Beginning of Hierarchical Transaction"},
    Entry{"SVQ", "Service Line Status"},
    Entry{"BPR", "Financial Information"},
    Entry{"ENT", "Entity"},
    Entry{"TRN", "Trace Number"},
    Entry{"ACT", "Account Identification"},
    Entry{"CUR", "Currency"},
    Entry{"RMR", "Remittance Advice Accounts Receivable"},
    Entry{"REF", "Reference Information"},
    Entry{"ADX", "Adjustment"},
    Entry{"PER", "Administrative Contact"},
    Entry{"AK1", "Functional Group Response Header"},
    Entry{"N1", "Party Identification"},
    Entry{"AK2", "Transaction Set Response Header"},
    Entry{"N2", "Additional Name Information"},
    Entry{"AK9", "Functional Group Response Trailer"},
    Entry{"N3", "Party Address"},
    Entry{"IK3", "Implementation Data Segment Note"},
    Entry{"N4", "Geographic Location"},
    Entry{"IK4", "Implementation Data Element Note"},
    Entry{"NM1", "Individual or Organizational Name"},
    Entry{"IK5", "Implementation Transaction Set Response Trailer"},
    Entry{"HL", "Hierarchical Level"},
    Entry{"CTX", "Context"},
    Entry{"PRV", "Provider Information"},
    Entry{"LIN", "Item Identification"},
    Entry{"SBR", "Subscriber Information"},
    Entry{"CTP", "Pricing Information"},
    Entry{"PAT", "Patient Information"},
    Entry{"PO1", "Baseline Item Data"},
    Entry{"DMG", "Demographic Information"},
    Entry{"PID", "Product/Item Description"},
    Entry{"INS", "Insured Benefit"},
    Entry{"TDS", "Total Monetary Value Summary"},
    Entry{"DTP", "Date or Time Period"},
    Entry{"IT1", "Baseline Item Data (Invoice)"},
    Entry{"DTM", "Date/Time Reference"},
    Entry{"BIG", "Beginning Segment for Invoice"},
    Entry{"CLM", "Claim Information"},
    Entry{"BEG", "Beginning Segment for Purchase Order"},
    Entry{"CLP", "Claim Payment Information"},
    Entry{"BSN", "Beginning Segment for Ship Notice"},
    Entry{"CAS", "Claim Adjustment"},
    Entry{"HLX", "Hierarchical Level"},
    Entry{"SVC", "Service Payment Information"},
    Entry{"MEA", "Measurements"},
    Entry{"SVD", "Service Line Adjudication"},
    Entry{"PWK", "Paperwork"},
    Entry{"AMT", "Monetary Amount"},
    Entry{"CL1", "Institutional Claim Code"},
    Entry{"QTY", "Quantity"},
    Entry{"UR", "Peer Review Organization"},
    Entry{"LX", "Service Line Counter"},
    Entry{"OI", "Other Insurance Coverage"},
    Entry{"SV1", "Professional Service"},
    Entry{"MOA2", "Outpatient Adjudication"},
    Entry{"SV2", "Institutional Service Line"},
    Entry{"LS", "Loop Header"},
    Entry{"SV3", "Dental Service"},
    Entry{"LE", "Loop Trailer"},
    Entry{"SV5", "Durable Medical Equipment Service"},
    Entry{"FRM", "Supporting Documentation"},
    Entry{"HI", "Health Care Diagnosis Code"},
    Entry{"TOO", "Tooth Identification"},
    Entry{"HCP", "Health Care Pricing"},
    Entry{"DN1", "Orthodontic Total Months"},
    Entry{"NTE", "Note / Special Instruction"},
    Entry{"DN2", "Tooth Summary"},
    Entry{"K3", "File Information"},
    Entry{"PAT2", "Patient"},
    Entry{"CN1", "Contract Information"},
    Entry{"RDM", "Remittance Delivery Method"},
    Entry{"CR1", "Ambulance Transport Information"},
    Entry{"BGN", "Beginning Segment"},
    Entry{"CR2", "Spinal Manipulation Service"},
    Entry{"ICM", "Individual Income"},
    Entry{"CR3", "Durable Medical Equipment Certification"},
    Entry{"HD", "Health Coverage"},
    Entry{"CRC", "Conditions Indicator"},
    Entry{"COB", "Coordination of Benefits"},
    Entry{"MIA", "Inpatient Adjudication Information"},
    Entry{"LUI", "Language Use"},
    Entry{"MOA", "Outpatient Adjudication Information"},
    Entry{"LM", "Code Source Information"},
    Entry{"PLB", "Provider Adjustment"},
    Entry{"YNQ", "Yes/No Question"},
    Entry{"LQ", "Industry Code Identification"},
    Entry{"PLA", "Place or Location"},
    Entry{"TS3", "Provider Summary Information"},
    Entry{"SBR2", "Subscriber"},
    Entry{"TS2", "Provider Supplemental Summary"},
};

std::string join(std::string_view a, std::string_view b)
{
    std::string text;
    text.reserve(a.size() + b.size());
    text.append(a);
    text.append(b);
    return text;
}

/// The table's text for key, or the fallback prefix followed by the key.
std::string nameOr(const X12Dictionary::NameTable &table, std::string_view key,
                   std::string_view prefix)
{
    if (auto it = table.find(key); it != table.end())
        return std::string(it->second);
    return join(prefix, kelvane::detail::limitedPiece(key));
}

} // namespace

namespace X12Dictionary {

const NameTable &transactionSets()
{
    static const NameTable table = makeTable(transactionSetTable);
    return table;
}

const NameTable &functionalGroups()
{
    static const NameTable table = makeTable(functionalGroupTable);
    return table;
}

const NameTable &segmentNames()
{
    static const NameTable table = makeTable(segmentNameTable);
    return table;
}

QuotedPieceLimit::QuotedPieceLimit(std::size_t bytes) noexcept
    : m_previous(std::exchange(kelvane::detail::t_pieceLimit, bytes))
{
}

QuotedPieceLimit::~QuotedPieceLimit()
{
    kelvane::detail::t_pieceLimit = m_previous;
}

std::string segmentName(std::string_view tag)
{
    return nameOr(segmentNames(), tag, "Segment ");
}

bool looksLikeX12(const X12Document &document)
{
    constexpr std::size_t sample = 4000;
    const std::size_t count = std::min(document.segments().size(), sample);
    std::size_t known = 0;
    const NameTable &names = segmentNames();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view tag = document.segment(std::uint32_t(i)).tag();
        if (tag == "ISA" || tag == "GS" || tag == "ST")
            return true;
        known += tag.size() <= 3 && names.contains(tag);
    }
    // One segment in five with a tag the dictionary knows is already unlike random text.
    return known * 5 >= count;
}

ReportedFindings::ReportedFindings(const X12Document &document)
    : m_document(document), m_notX12(looksLikeX12(document) ? 0 : 1)
{
}

std::size_t ReportedFindings::size() const noexcept
{
    return m_document.findingCount() + m_notX12;
}

X12Finding ReportedFindings::operator[](std::size_t index) const
{
    if (index < m_notX12)
        return {X12Finding::Severity::error, 1,
                "the file does not look like X12: it has no ISA, GS or ST segment and almost "
                "none of its segments are known X12 segments"};
    return m_document.finding(index - m_notX12);
}

std::uint32_t ReportedFindings::segment(std::size_t index) const noexcept
{
    return index < m_notX12 ? 0 : m_document.findingSegment(index - m_notX12);
}

bool ReportedFindings::isError(std::size_t index) const noexcept
{
    return index < m_notX12 ||
           m_document.findingSeverity(index - m_notX12) == X12Finding::Severity::error;
}

std::string segmentTitle(std::string_view tag)
{
    std::string text;
    kelvane::detail::appendSegmentTitle(text, tag);
    return text;
}

std::string transactionSetName(std::string_view code)
{
    return nameOr(transactionSets(), code, "Transaction set ");
}

std::string elementReference(std::string_view tag, std::ptrdiff_t position)
{
    std::string text;
    ElementVocabulary(tag).appendReference(text, position);
    return text;
}

std::string elementName(std::string_view tag, std::ptrdiff_t position)
{
    std::string text;
    ElementVocabulary(tag).appendName(text, position);
    return text;
}

} // namespace X12Dictionary

namespace kelvane::detail {

void appendSegmentName(std::string &out, std::string_view tag)
{
    tag = limitedPiece(tag);
    // Tags repeat: each thread remembers the names of the tags it met last, so that millions of
    // titles cost no hash of a string each. Empty for a tag the dictionary does not know.
    auto lookUp = [tag]() -> std::string_view {
        const X12Dictionary::NameTable &names = X12Dictionary::segmentNames();
        const auto it = names.find(tag);
        return it != names.end() ? it->second : std::string_view();
    };
    thread_local TagCache<std::string_view, 8> names;
    const std::uint64_t key = tagKey(tag);
    const std::string_view name = key == longTagKey ? lookUp() : names.get(key, lookUp);
    if (!name.empty()) {
        out.append(name);
    } else {
        out += "Segment ";
        out.append(tag);
    }
}

void appendSegmentTitle(std::string &out, std::string_view tag)
{
    tag = limitedPiece(tag);
    // Millions of lines are titled by a few tags: each thread remembers the titles of the tags it
    // met last, as it does their names.
    const std::uint64_t key = tagKey(tag);
    if (key == longTagKey) {
        out.append(tag);
        out += " \u2014 ";
        appendSegmentName(out, tag);
        return;
    }
    thread_local TagCache<std::string, 8> titles;
    out.append(titles.get(key, [tag] {
        std::string title(tag);
        title += " \u2014 ";
        appendSegmentName(title, tag);
        return title;
    }));
}

} // namespace kelvane::detail
