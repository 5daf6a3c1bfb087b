#pragma once

#include "core/guides/Balancing_p.h"
#include "core/guides/ElementCheck_p.h"
#include "core/guides/GuideTable_p.h"
#include "core/guides/X12GuideLoops.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelvane::detail::guides {

/// Walks the transaction sets of a document through their guides, as X12GuideLoops describes:
/// places each segment in its loop and, when asked, checks the set against the guide.
class GuideWalk
{
public:
    /// `places` has a slot per segment of the document; `findings` is null when nothing is
    /// checked. Once there are more than `limit` findings, the walk only places. The sets that
    /// name a health-care guide Kelvane does not know go to `unchecked`, unless it is null.
    GuideWalk(const X12Document &document, std::uint16_t *places,
              std::vector<X12GuideFinding> *findings, std::size_t limit,
              std::vector<X12UncheckedSet> *unchecked = nullptr);

    /// Walks the sets whose ST lies in [from, to).
    void run(std::size_t from, std::size_t to);
    /// Whether a segment was put in a loop.
    bool placedAny() const noexcept { return m_placedAny; }

private:
    /// An open loop: the loop, where in its members the walk stands, how often each member has
    /// been found in this repeat of the loop, and which member of the loop around it it is.
    struct Frame
    {
        std::uint16_t loop;
        std::uint16_t at;     // the first member at the position of the last one found
        std::uint16_t member; // in the enclosing loop's members
        std::size_t counts;   // where its counts begin in m_counts
    };
    /// A required segment or loop passed over while looking for a segment.
    struct Passed
    {
        std::size_t depth;
        std::uint16_t member;
    };

    std::string_view versionBefore(std::size_t at) const;
    std::size_t setEnd(std::size_t first) const;
    const Guide *guideFor(std::size_t first, std::string_view version) const;
    void noteUnchecked(const X12Segment &st, std::string_view groupVersion);
    bool selects(const Guide &guide, std::size_t first) const;
    std::string_view valueAt(std::size_t position) const noexcept;
    bool matches(const SegmentRule &rule, std::uint32_t tag) const;

    std::size_t walkSet(const Guide &guide, std::size_t first);
    void place(std::size_t index);
    std::uint32_t advance(std::size_t depth, std::uint16_t member);
    void found(std::size_t index, std::size_t depth, std::uint16_t member);
    void enterLoop(std::size_t index, std::size_t depth, std::uint16_t member);
    void openFrame(std::uint16_t loop, std::uint16_t member);
    void closeFramesAbove(std::size_t depth);
    void reportPassed(std::size_t index, std::size_t depth, std::uint16_t position);
    std::uint16_t variantAt(const VariantRun &run, std::size_t from) const;
    void take(std::size_t index, std::size_t depth, std::uint16_t member);
    void notFound(std::size_t index);
    void checkSegment(std::size_t index, const SegmentRule &rule, std::uint32_t count);
    void checkNumbering(std::size_t index, const X12Segment &segment);

    std::string_view openLoopID() const noexcept;
    void report(std::size_t index, std::string_view code, std::string message);

    const X12Document &m_document;
    const GuideTable &m_table;
    std::uint16_t *m_places;
    std::vector<X12GuideFinding> *m_findings;
    std::size_t m_limit;
    std::vector<X12UncheckedSet> *m_unchecked;
    bool m_placedAny = false;

    // The set being walked.
    const Guide *m_guide = nullptr;
    std::vector<Frame> m_frames; // the set's level first
    std::vector<std::uint32_t> m_counts;
    std::vector<Passed> m_passed;
    std::optional<ElementCheck> m_check; // with the set's delimiters
    Balancing m_balancing;
    std::uint32_t m_hlCount = 0;
    std::unordered_set<std::uint64_t> m_hlIDs;

    // The segment being placed.
    X12Segment m_segment;
    std::string_view m_tag;
    std::uint32_t m_tagCode = 0;            // packed
    std::vector<std::string_view> m_values; // its elements, when the set is checked
};

} // namespace kelvane::detail::guides
