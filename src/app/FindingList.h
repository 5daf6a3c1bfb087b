#pragma once

#include "core/model/X12Document.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class X12GuideLoops;

/// Every finding about a document as the window shows it: the envelope findings and what the
/// document breaks of its implementation guides, merged in segment order (at one segment the
/// envelope's first), for the list under the views. Holds the document and its guide check by
/// shared ownership, so it may be handed between threads.
class FindingList
{
public:
    /// One finding, composed for showing.
    struct Item
    {
        X12Finding::Severity severity;
        std::uint32_t segment; // index, from 0
        std::string element;   // "CLM05-1"; empty for a finding about the segment
        std::string loop;      // "2300"; empty outside a loop
        std::string message;
    };

    FindingList() = default;
    FindingList(std::shared_ptr<const X12Document> document,
                std::shared_ptr<const X12GuideLoops> checked);

    std::size_t size() const noexcept { return m_entries.size(); }
    std::size_t errorCount() const noexcept { return m_errors; }
    std::size_t warningCount() const noexcept { return size() - m_errors; }

    Item item(std::size_t index) const;
    std::uint32_t segment(std::size_t index) const noexcept { return m_entries[index].segment; }
    X12Finding::Severity severity(std::size_t index) const noexcept
    {
        return m_entries[index].severity;
    }
    /// The tag of the segment finding `index` concerns.
    std::string_view tag(std::size_t index) const noexcept;

    /// The findings of a severity (any without one) whose segment number, tag, loop, element or
    /// message holds `query`, ignoring the case of ASCII letters; every one for an empty query.
    std::vector<std::uint32_t> matching(std::optional<X12Finding::Severity> severity,
                                        std::string_view query) const;

private:
    struct Entry
    {
        std::uint32_t segment;
        X12Finding::Severity severity;
        bool guide;          // else an envelope finding
        std::uint32_t index; // among the document's, or the guide check's, findings
    };

    bool holds(const Entry &entry, std::string_view lowerQuery) const;

    std::shared_ptr<const X12Document> m_document;
    std::shared_ptr<const X12GuideLoops> m_checked;
    std::vector<Entry> m_entries;
    std::size_t m_errors = 0;
};
