#include "app/FindingList.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"

#include <algorithm>

namespace {

char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

/// Whether `text` holds `lowerQuery` (lower case already), ignoring the case of ASCII letters.
bool holdsLower(std::string_view text, std::string_view lowerQuery) noexcept
{
    return std::search(text.begin(), text.end(), lowerQuery.begin(), lowerQuery.end(),
                       [](char a, char b) { return lower(a) == b; }) != text.end();
}

} // namespace

FindingList::FindingList(std::shared_ptr<const X12Document> document,
                         std::shared_ptr<const X12GuideLoops> checked)
    : m_document(std::move(document)), m_checked(std::move(checked))
{
    if (!m_document)
        return;
    const std::size_t envelope = m_document->findingCount();
    const auto guide = m_checked ? m_checked->findings() : std::span<const X12GuideFinding>();
    m_entries.reserve(envelope + guide.size());
    for (std::size_t i = 0; i < envelope; ++i)
        m_entries.push_back({m_document->findingSegment(i), m_document->findingSeverity(i), false,
                             std::uint32_t(i)});
    for (std::size_t i = 0; i < guide.size(); ++i)
        m_entries.push_back({guide[i].position - 1, guide[i].severity, true, std::uint32_t(i)});
    // In segment order; at one segment, the envelope's first.
    std::ranges::stable_sort(m_entries, {}, &Entry::segment);
    m_errors =
        std::size_t(std::ranges::count(m_entries, X12Finding::Severity::error, &Entry::severity));
}

FindingList::Item FindingList::item(std::size_t index) const
{
    const Entry &entry = m_entries[index];
    if (!entry.guide) {
        X12Finding finding = m_document->finding(entry.index);
        return {entry.severity, entry.segment, {}, {}, std::move(finding.message)};
    }
    const X12GuideFinding &finding = m_checked->findings()[entry.index];
    return {entry.severity, entry.segment, finding.element, std::string(finding.loop),
            finding.message};
}

std::string_view FindingList::tag(std::size_t index) const noexcept
{
    const std::uint32_t segment = m_entries[index].segment;
    return segment < m_document->segments().size() ? m_document->segment(segment).tag()
                                                   : std::string_view();
}

bool FindingList::holds(const Entry &entry, std::string_view lowerQuery) const
{
    if (holdsLower(std::to_string(entry.segment + 1), lowerQuery) ||
        holdsLower(tag(std::size_t(&entry - m_entries.data())), lowerQuery))
        return true;
    if (!entry.guide)
        return holdsLower(m_document->finding(entry.index).message, lowerQuery);
    const X12GuideFinding &finding = m_checked->findings()[entry.index];
    return holdsLower(finding.loop, lowerQuery) || holdsLower(finding.element, lowerQuery) ||
           holdsLower(finding.message, lowerQuery);
}

std::vector<std::uint32_t> FindingList::matching(std::optional<X12Finding::Severity> severity,
                                                 std::string_view query) const
{
    std::string lowerQuery(query);
    std::ranges::transform(lowerQuery, lowerQuery.begin(), lower);
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if ((!severity || entry.severity == *severity) &&
            (lowerQuery.empty() || holds(entry, lowerQuery)))
            found.push_back(std::uint32_t(i));
    }
    return found;
}
