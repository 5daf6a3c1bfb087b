#include "core/model/X12Document.h"

#include "core/model/DocumentTables_p.h"
#include "core/model/Envelope_p.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <atomic>
#include <iterator>

using kelvane::detail::NodeTable;
using kelvane::detail::SegmentTable;
namespace envelope = kelvane::detail::envelope;

std::string_view X12Segment::tag() const noexcept
{
    const SegmentTable &t = *m_table;
    if (!t.foldedTags.empty()) {
        const auto it = std::lower_bound(
            t.foldedTags.begin(), t.foldedTags.end(), m_index,
            [](const auto &entry, std::uint32_t index) { return entry.first < index; });
        if (it != t.foldedTags.end() && it->first == m_index)
            return it->second;
    }
    std::uint32_t end = 0;
    if (t.elementCount(m_index) == 0)
        end = t.rawSize(m_index);
    else if (t.rawSizes[m_index] != SegmentTable::longSize)
        end = t.elementStarts[firstElement()] - t.separatorSize;
    else
        end = t.elementStart(m_index, 0) - t.separatorSize;
    return {t.text + t.rawBegins[m_index], end};
}

std::uint32_t X12Segment::firstElement() const noexcept
{
    // A handle may be shared between threads: both would keep the same number.
    std::atomic_ref<std::uint32_t> kept(m_firstElement);
    std::uint32_t first = kept.load(std::memory_order_relaxed);
    if (first == unresolved) {
        first = m_table->firstElement(m_index);
        kept.store(first, std::memory_order_relaxed);
    }
    return first;
}

std::size_t X12Segment::elementCount() const noexcept
{
    return m_table->elementCount(m_index);
}

std::string_view X12Segment::element(std::size_t index) const noexcept
{
    const SegmentTable &t = *m_table;
    const std::uint32_t count = t.elementCount(m_index);
    if (index >= count)
        return {};
    const auto k = std::uint32_t(index);
    const char *raw = t.text + t.rawBegins[m_index];
    if (const std::uint16_t size = t.rawSizes[m_index]; size != SegmentTable::longSize) {
        const std::uint16_t *starts = t.elementStarts.data() + firstElement();
        const std::uint32_t end = k + 1 < count ? starts[k + 1] - t.separatorSize : size;
        return {raw + starts[k], end - starts[k]};
    }
    const std::uint32_t begin = t.elementStart(m_index, k);
    const std::uint32_t end =
        k + 1 < count ? t.elementStart(m_index, k + 1) - t.separatorSize : t.rawSize(m_index);
    return {raw + begin, end - begin};
}

void X12Segment::elementsInto(std::vector<std::string_view> &out) const
{
    const SegmentTable &t = *m_table;
    const std::uint32_t count = t.elementCount(m_index);
    const std::uint16_t size = t.rawSizes[m_index];
    if (count == 0 || size == SegmentTable::longSize) {
        out.clear();
        for (std::uint32_t k = 0; k < count; ++k)
            out.push_back(element(k));
        return;
    }
    const char *raw = t.text + t.rawBegins[m_index];
    const std::uint16_t *starts = t.elementStarts.data() + firstElement();
    out.resize(count); // every element is written below: only new ones are set first
    std::string_view *into = out.data();
    for (std::uint32_t k = 0; k + 1 < count; ++k)
        into[k] = {raw + starts[k], std::size_t(starts[k + 1] - t.separatorSize - starts[k])};
    into[count - 1] = {raw + starts[count - 1], std::size_t(size - starts[count - 1])};
}

std::ptrdiff_t X12Segment::offset() const noexcept
{
    return m_table->offset(m_index);
}

std::string_view X12Segment::raw() const noexcept
{
    return {m_table->text + m_table->rawBegins[m_index], m_table->rawSize(m_index)};
}

X12SegmentList::X12SegmentList() : m_table(std::make_unique<SegmentTable>()) {}
X12SegmentList::X12SegmentList(X12SegmentList &&) noexcept = default;
X12SegmentList &X12SegmentList::operator=(X12SegmentList &&) noexcept = default;
X12SegmentList::~X12SegmentList() = default;

X12Tree::X12Tree() : m_table(std::make_unique<NodeTable>())
{
    m_table->firstChildren.push_back(0);
}
X12Tree::X12Tree(X12Tree &&) noexcept = default;
X12Tree &X12Tree::operator=(X12Tree &&) noexcept = default;
X12Tree::~X12Tree() = default;

std::size_t X12Tree::size() const noexcept
{
    return m_table->kinds.size();
}

X12Node X12Tree::node(std::uint32_t index) const
{
    const NodeTable &t = *m_table;
    return {t.parents[index], row(index), std::uint32_t(children(index).size()), t.kinds[index]};
}

X12Node::Kind X12Tree::kind(std::uint32_t index) const noexcept
{
    return m_table->kinds[index];
}

std::uint32_t X12Tree::parent(std::uint32_t index) const noexcept
{
    return m_table->parents[index];
}

std::uint32_t X12Tree::row(std::uint32_t index) const noexcept
{
    // A parent's children are in node order.
    const std::span<const std::uint32_t> siblings = children(m_table->parents[index]);
    return std::uint32_t(std::lower_bound(siblings.begin(), siblings.end(), index) -
                         siblings.begin());
}

void NodeTable::listChildrenOnce() noexcept
{
    std::call_once(childrenListed, [this] {
        if (!childrenPending)
            return;
        // A counting sort: children become contiguous runs in container order, each container's
        // run in the order its children came. firstChildren holds each container's count; the
        // prefix sums turn the counts into starts. The room was reserved by the walk: nothing
        // here allocates.
        std::uint32_t next = 0;
        for (std::uint32_t &start : firstChildren) {
            const std::uint32_t count = start;
            start = next;
            next += count;
        }
        firstChildren.push_back(next);
        childList.resize(next);
        // Each child goes to its parent's next free place, which moves every start to the end
        // of its run, that is the start of the next container's: one step back puts them right.
        // Siblings mostly come one after another: their parent's slot is found once for them.
        std::uint32_t lastParent = X12Document::rootId();
        std::uint32_t lastSlot = 0;
        for (std::uint32_t i = 0; i < parents.size(); ++i) {
            const std::uint32_t parent = parents[i];
            if (parent == X12Document::rootId())
                continue;
            if (parent != lastParent) {
                lastParent = parent;
                lastSlot = containerSlot(parent);
            }
            childList[firstChildren[lastSlot]++] = i;
        }
        for (std::size_t k = firstChildren.size() - 1; k > 0; --k)
            firstChildren[k] = firstChildren[k - 1];
        firstChildren[0] = 0;
        childrenPending = false;
    });
}

void X12Tree::listChildren() const noexcept
{
    m_table->listChildrenOnce();
}

std::span<const std::uint32_t> X12Tree::children(std::uint32_t index) const noexcept
{
    if (index == X12Document::rootId())
        return m_table->roots;
    if (!m_table->isContainer(index))
        return {};
    m_table->listChildrenOnce();
    const NodeTable &t = *m_table;
    const std::uint32_t slot = t.containerSlot(index);
    const std::uint32_t first = t.firstChildren[slot];
    return std::span<const std::uint32_t>(t.childList)
        .subspan(first, t.firstChildren[slot + 1] - first);
}

namespace {

using kelvane::detail::EnvelopeEnd;
using kelvane::detail::FindingKind;
using kelvane::detail::FindingRecord;

std::string plural(std::size_t count, std::string_view word)
{
    std::string text = std::to_string(count) + " " + std::string(word);
    if (count != 1)
        text += 's';
    return text;
}

std::string_view endText(std::uint32_t end)
{
    switch (EnvelopeEnd(end)) {
    case EnvelopeEnd::nextSt:
        return "the next ST";
    case EnvelopeEnd::ge:
        return "GE";
    case EnvelopeEnd::nextGs:
        return "the next GS";
    case EnvelopeEnd::iea:
        return "IEA";
    case EnvelopeEnd::nextIsa:
        return "the next ISA";
    case EnvelopeEnd::endOfFile:
        return "the end of the file";
    }
    return "the end of the file";
}

/// "SE01 says 4 segments; the transaction set (ST to SE) has 5", or with the written text quoted
/// when it is not a number.
std::string countMessage(std::string_view element, std::string_view written, std::size_t actual,
                         std::string_view what, std::string_view where)
{
    const auto value = kelvane::detail::readCount(written);
    return std::string(element) + " says " +
           (value ? plural(*value, what) : "\"" + std::string(written) + "\"") + "; " +
           std::string(where) + " has " + std::to_string(actual);
}

/// The finding's message. `header` is the envelope's header segment for the kinds that compare
/// with it.
std::string message(const FindingRecord &record, const X12Segment &segment,
                    const X12Segment &header)
{
    const auto element = [](const X12Segment &s, std::size_t index) {
        return std::string(s.element(index));
    };
    switch (record.kind) {
    case FindingKind::outsideInterchange:
        return plural(record.value, "segment") + " outside any interchange";
    case FindingKind::isaLength:
        return "ISA is " + std::to_string(record.value) + " characters long, not " +
               std::to_string(envelope::isaLength);
    case FindingKind::isaSeparator:
        return "ISA16 \"" + element(segment, envelope::isaComponent) +
               "\" is not a single character";
    case FindingKind::unclosedTransaction:
        return "ST02 " + element(segment, envelope::stControl) + " has no SE: the set ends at " +
               std::string(endText(record.value));
    case FindingKind::unclosedGroup:
        return "GS06 " + element(segment, envelope::gsControl) + " has no GE: the group ends at " +
               std::string(endText(record.value));
    case FindingKind::unclosedInterchange:
        return "ISA13 " + element(segment, envelope::isaControl) +
               " has no IEA: the interchange ends at " + std::string(endText(record.value));
    case FindingKind::ieaWithoutIsa:
        return "IEA without ISA";
    case FindingKind::geWithoutGs:
        return "GE without GS";
    case FindingKind::seWithoutSt:
        return "SE without ST";
    case FindingKind::ieaControl:
        return "IEA02 " + element(segment, envelope::trailerControl) + " does not match ISA13 " +
               element(header, envelope::isaControl);
    case FindingKind::geControl:
        return "GE02 " + element(segment, envelope::trailerControl) + " does not match GS06 " +
               element(header, envelope::gsControl);
    case FindingKind::seControl:
        return "SE02 " + element(segment, envelope::trailerControl) + " does not match ST02 " +
               element(header, envelope::stControl);
    case FindingKind::ieaCount:
        return countMessage("IEA01", segment.element(envelope::trailerCount), record.value,
                            "functional group", "the interchange");
    case FindingKind::geCount:
        return countMessage("GE01", segment.element(envelope::trailerCount), record.value,
                            "transaction set", "the group");
    case FindingKind::seCount:
        return countMessage("SE01", segment.element(envelope::trailerCount), record.value,
                            "segment", "the transaction set (ST to SE)");
    case FindingKind::stWithoutGs:
        return "ST without GS";
    case FindingKind::outsideTransaction:
        return plural(record.value, "segment") + " in the group outside any transaction set";
    case FindingKind::stControlEmpty:
        return "ST02 is empty";
    case FindingKind::seControlEmpty:
        return "SE02 is empty";
    case FindingKind::stControlRepeated:
        return "ST02 " + element(segment, envelope::stControl) + " is already used in the group";
    case FindingKind::gsControlInvalid:
        return segment.element(envelope::gsControl).empty()
                   ? std::string("GS06 is empty")
                   : "GS06 \"" + element(segment, envelope::gsControl) +
                         "\" is not a number of 1 to 9 digits";
    }
    return {};
}

/// The TA1 note code of an ISA that is not written to its fixed layout: the code for the first
/// element of the wrong width, or "022" (invalid control structure) for a header that lacks some.
std::string_view isaNote(const X12Segment &isa) noexcept
{
    struct Field
    {
        std::size_t width;
        std::string_view note;
    };
    // ISA01 to ISA16. ISA11 is the control standards identifier (016) up to version 00401; from
    // 00402 on it is the repetition separator, which has no code of its own: the control
    // structure is invalid (022).
    const bool separator = isa.element(envelope::isaVersion) >= "00402";
    const Field fields[] = {{2, "010"},
                            {10, "011"},
                            {2, "012"},
                            {10, "013"},
                            {2, "005"},
                            {15, "006"},
                            {2, "007"},
                            {15, "008"},
                            {6, "014"},
                            {4, "015"},
                            {1, separator ? "022" : "016"},
                            {5, "017"},
                            {9, "018"},
                            {1, "019"},
                            {1, "020"},
                            {1, "027"}};
    for (std::size_t k = 0; k < std::size(fields); ++k) {
        if (k >= isa.elementCount())
            return "022";
        if (kelvane::detail::characterCount(isa.element(k)) != fields[k].width)
            return fields[k].note;
    }
    return "022";
}

} // namespace

std::size_t X12Tree::findingCount() const noexcept
{
    return m_table->findings.size();
}

X12Finding X12Tree::finding(std::size_t index) const
{
    const FindingRecord &record = m_table->findings[index];
    const bool comparesWithHeader = record.kind == FindingKind::ieaControl ||
                                    record.kind == FindingKind::geControl ||
                                    record.kind == FindingKind::seControl;
    const X12Segment segment(m_table->segments, record.segment);
    const X12Segment header(m_table->segments, comparesWithHeader ? record.value : record.segment);
    return {findingSeverity(index), record.segment + 1, message(record, segment, header)};
}

std::uint32_t X12Tree::findingSegment(std::size_t index) const noexcept
{
    return m_table->findings[index].segment;
}

X12Finding::Severity X12Tree::findingSeverity(std::size_t index) const noexcept
{
    switch (m_table->findings[index].kind) {
    case FindingKind::outsideInterchange:
    case FindingKind::stControlRepeated:
        return X12Finding::Severity::warning;
    default:
        return X12Finding::Severity::error;
    }
}

std::string_view X12Tree::findingCode(std::size_t index) const noexcept
{
    const FindingRecord &record = m_table->findings[index];
    switch (record.kind) {
    case FindingKind::isaLength:
        return isaNote(X12Segment(m_table->segments, record.segment));
    case FindingKind::isaSeparator:
        return "027"; // invalid component element separator
    case FindingKind::unclosedInterchange:
        return "023"; // premature end of file
    case FindingKind::ieaControl:
        return "001"; // control numbers of header and trailer differ
    case FindingKind::ieaCount:
        return "021"; // invalid number of included groups
    case FindingKind::unclosedGroup:
        return "3"; // trailer missing
    case FindingKind::geControl:
        return "4"; // control numbers of header and trailer differ
    case FindingKind::geCount:
        return "5"; // number of included sets does not match
    case FindingKind::unclosedTransaction:
        return "2"; // trailer missing
    case FindingKind::seControl:
        return "3"; // control numbers of header and trailer differ
    case FindingKind::seCount:
        return "4"; // number of included segments does not match
    case FindingKind::stControlEmpty:
    case FindingKind::seControlEmpty:
        return "7"; // missing control number
    case FindingKind::stControlRepeated:
        return "23"; // control number not unique within the group
    case FindingKind::gsControlInvalid:
        return "6"; // group control number violates syntax
    default:
        return {};
    }
}

std::pair<std::size_t, std::size_t> X12Tree::findingsAbout(std::uint32_t segment) const noexcept
{
    const auto &findings = m_table->findings;
    const auto [first, last] = std::equal_range(
        findings.begin(), findings.end(), FindingRecord{segment, 0, {}},
        [](const FindingRecord &a, const FindingRecord &b) { return a.segment < b.segment; });
    return {std::size_t(first - findings.begin()), std::size_t(last - findings.begin())};
}

std::string_view toString(X12Finding::Severity severity) noexcept
{
    return severity == X12Finding::Severity::error ? "error" : "warning";
}

std::string_view toString(X12Node::Kind kind) noexcept
{
    switch (kind) {
    case X12Node::Kind::interchange:
        return "interchange";
    case X12Node::Kind::functionalGroup:
        return "functionalGroup";
    case X12Node::Kind::transaction:
        return "transaction";
    case X12Node::Kind::loop:
        return "loop";
    case X12Node::Kind::segment:
        return "segment";
    }
    return "segment";
}

std::string_view description(X12ParseError error) noexcept
{
    switch (error) {
    case X12ParseError::empty:
        return "The file is empty.";
    case X12ParseError::noSegments:
        return "No X12 segments were found. This does not look like an X12/EDI file.";
    }
    return "The file could not be parsed.";
}

X12Document::X12Document() = default;
X12Document::~X12Document() = default;

const X12Delimiters &X12Document::delimitersAt(std::uint32_t index) const noexcept
{
    const auto after =
        std::upper_bound(m_laterDelimiters.begin(), m_laterDelimiters.end(), index,
                         [](std::uint32_t i, const auto &entry) { return i < entry.first; });
    return after == m_laterDelimiters.begin() ? m_delimiters : std::prev(after)->second;
}

std::string X12Document::summaryLine() const
{
    std::string line = std::to_string(m_segments.size());
    line += " segments \u00B7 transaction set ";
    if (m_transactionSets.empty()) {
        line += "unknown";
        return line;
    }
    for (std::size_t i = 0; i < m_transactionSets.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += m_transactionSets[i];
    }
    return line;
}
