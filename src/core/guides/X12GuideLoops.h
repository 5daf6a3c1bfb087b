#pragma once

#include "core/model/X12Document.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// A loop of a health-care implementation guide: "2010AA", "Billing Provider Name".
struct X12GuideLoop
{
    std::string_view id;
    std::string_view name;
    friend bool operator==(const X12GuideLoop &, const X12GuideLoop &) = default;
};

/// What a segment breaks of its implementation guide: a segment out of place, missing or used too
/// often, an element missing, not used, too long, of the wrong type or with a code the guide does
/// not list, a syntax rule between elements, the numbering of HL and LX segments.
struct X12GuideFinding
{
    X12Finding::Severity severity;
    std::uint32_t position; // of the segment it concerns, from 1
    std::string element;    // "CLM05-1", "NM109"; empty for a finding about the segment
    // The ID of the loop the segment is in, or for a segment or loop missing, the loop it is
    // missing from; empty at the level of the set itself.
    std::string_view loop;
    std::string_view rule; // the syntax rule broken, such as "P0809"; else empty
    // The 999 acknowledgment's code for it: IK304 for a finding about a segment ("5": it exceeds
    // its maximum use), IK403 for one about an element ("I10": the guide does not use it); empty
    // when the acknowledgment has none.
    std::string_view segmentCode;
    std::string_view elementCode;
    std::string message;
    // For a required segment or loop that is missing (segmentCode "3"): the tag of the segment
    // missing, or of the one that begins the loop missing; the finding stands at the segment
    // where it was found missing. Else empty.
    std::string_view missingTag = {};

    friend bool operator==(const X12GuideFinding &, const X12GuideFinding &) = default;
};

/// A transaction set that names a health-care implementation guide Kelvane does not know: its
/// ST03 or its group's GS08 names one ("005010X999A1": a version, X and the guide's number), or
/// its type is one only health care uses (837, 835, 834, 270, 271, 276, 277, 278) and no guide
/// here has its version. It is placed in no loop and checked against no guide.
struct X12UncheckedSet
{
    std::uint32_t position;   // of its ST, from 1
    std::string_view set;     // its ST01
    std::string_view version; // its ST03, else its group's GS08; empty when it has neither

    friend bool operator==(const X12UncheckedSet &, const X12UncheckedSet &) = default;
};

/// Where each segment of a document sits in the loops of its transaction set's implementation
/// guide, and, when asked, what they break of it. The guide is the one named by the set's ST03,
/// else by its group's GS08; a set without a known guide places nothing. The segments of a set are
/// walked through the guide: each is looked for from where the walk stands onwards, in the
/// innermost open loop first, then outwards; a segment that begins a loop opens it, closing the
/// loops deeper than where it was found. A segment whose qualifier the guide does not list is
/// taken where the guide has its tag under another qualifier (the check reports the qualifier). A
/// segment found nowhere is out of place: it stays in the innermost open loop and leaves the open
/// loops open. Segments at the level of the set itself (ST, BHT, SE) are in no loop.
class X12GuideLoops
{
public:
    /// Walks every transaction set of the document.
    static X12GuideLoops of(const X12Document &document);
    /// The same walk, which also checks each set against its guide.
    static X12GuideLoops checked(const X12Document &document);

    /// The most findings a check lists. A file with more (a hostile one, or one broken
    /// throughout) ends its list with a warning where the check stopped.
    static constexpr std::size_t findingLimit = 100'000;

    /// What the check found, in segment order; empty unless made by checked().
    std::span<const X12GuideFinding> findings() const noexcept { return m_findings; }
    /// The sets that name a health-care guide Kelvane does not know, in segment order; empty
    /// unless made by checked().
    std::span<const X12UncheckedSet> uncheckedSets() const noexcept { return m_unchecked; }

    /// The loop segment `index` (from 0) is in, if any.
    std::optional<X12GuideLoop> loopOf(std::uint32_t index) const noexcept;
    /// The loop segment `index` begins, if it begins one. Node i of the tree stands for segment i,
    /// so this is also the loop of node i.
    std::optional<X12GuideLoop> loopBegunBy(std::uint32_t index) const noexcept;
    /// Whether any segment is in a loop.
    bool empty() const noexcept { return m_count == 0; }

    /// Which segments are in a loop whose ID holds a query, for the search.
    class IDSearch
    {
    public:
        /// Whether the ID of any loop holds the query.
        bool any() const noexcept { return !m_matching.empty(); }
        bool operator()(std::uint32_t index) const noexcept
        {
            const std::uint16_t place = index < m_places.size() ? m_places[index] : 0;
            return place != 0 && m_matching[place & loopMask];
        }

    private:
        friend class X12GuideLoops;
        std::span<const std::uint16_t> m_places;
        std::vector<bool> m_matching; // per loop number; empty when no ID holds the query
    };
    /// The search for `query`, lower-case already (ASCII letters of IDs are compared in lower
    /// case).
    IDSearch searchIDs(std::string_view query) const;

    /// The guides known, as their version and transaction set: {"005010X222A1", "837"}...
    static std::vector<std::pair<std::string_view, std::string_view>> knownGuides();

private:
    static constexpr std::uint16_t beginsBit = 0x8000; // as the walk sets it
    static constexpr std::uint16_t loopMask = 0x7FFF;

    std::span<const std::uint16_t> places() const noexcept { return {m_places.get(), m_count}; }

    struct Free
    {
        void operator()(std::uint16_t *places) const noexcept;
    };
    // Per segment: 0 outside every loop, else the loop's number, with beginsBit set on the
    // segment that begins it. Allocated zeroed by the kernel, so the pages of segments outside
    // every set cost no memory; none at all when no segment is in a loop.
    std::unique_ptr<std::uint16_t[], Free> m_places;
    std::size_t m_count = 0;
    std::vector<X12GuideFinding> m_findings;
    std::vector<X12UncheckedSet> m_unchecked;

    static X12GuideLoops walk(const X12Document &document, bool check);
};
