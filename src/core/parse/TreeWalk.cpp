#include "core/parse/TreeWalk_p.h"

#include "core/parse/ByteCounts_p.h"
#include "core/parse/DocumentBuilder_p.h"
#include "core/parse/IsaHeader_p.h"
#include "core/parse/TagClass_p.h"
#include "core/parse/X12Parser_p.h"
#include "core/support/Parallel_p.h"
#include "core/support/Simd_p.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <thread>
#include <unordered_set>

namespace kelvane::detail {

std::atomic<std::size_t> partedWalkMinimum{1u << 19};

namespace {

/// Rank of the loop a segment of this class starts (a lower rank is an outer loop), or -1 for
/// one that starts no loop. Claim payments (835) rank their segments differently from every
/// other set.
constexpr std::array<std::int8_t, std::size_t(TagClass::count)> loopRanks = [] {
    std::array<std::int8_t, std::size_t(TagClass::count)> ranks{};
    ranks.fill(-1);
    ranks[std::size_t(TagClass::hl20)] = 10;
    ranks[std::size_t(TagClass::hl21)] = 11;
    ranks[std::size_t(TagClass::hl22)] = 12;
    ranks[std::size_t(TagClass::hl23)] = 13;
    ranks[std::size_t(TagClass::hlOther)] = 14;
    ranks[std::size_t(TagClass::claim)] = 20;
    ranks[std::size_t(TagClass::clp)] = 20;
    ranks[std::size_t(TagClass::lx)] = 25;
    ranks[std::size_t(TagClass::service)] = 27;
    ranks[std::size_t(TagClass::svc)] = 27;
    ranks[std::size_t(TagClass::name)] = 30;
    return ranks;
}();
constexpr std::array<std::int8_t, std::size_t(TagClass::count)> paymentLoopRanks = [] {
    std::array<std::int8_t, std::size_t(TagClass::count)> ranks{};
    ranks.fill(-1);
    ranks[std::size_t(TagClass::lx)] = 15;
    ranks[std::size_t(TagClass::ts)] = 17;
    ranks[std::size_t(TagClass::clp)] = 20;
    ranks[std::size_t(TagClass::svc)] = 27;
    ranks[std::size_t(TagClass::name)] = 30;
    return ranks;
}();

/// Whether a segment of this class can hold others, in some transaction set.
constexpr std::array<bool, std::size_t(TagClass::count)> mayHoldOthers = [] {
    std::array<bool, std::size_t(TagClass::count)> holds{};
    for (std::size_t c = 0; c < holds.size(); ++c)
        holds[c] = loopRanks[c] >= 0 || paymentLoopRanks[c] >= 0;
    holds[std::size_t(TagClass::isa)] = true;
    holds[std::size_t(TagClass::gs)] = true;
    holds[std::size_t(TagClass::st)] = true;
    return holds;
}();

/// mayHoldOthers by arithmetic: the envelope headers are the odd classes before the first HL,
/// and every class from it on heads a loop in some set.
constexpr bool mayHoldOthersAt(unsigned char c) noexcept
{
    return c >= static_cast<unsigned char>(TagClass::hl20) || (c & 1u) != 0;
}
static_assert([] {
    for (std::size_t c = 0; c < mayHoldOthers.size(); ++c) {
        if (mayHoldOthersAt(static_cast<unsigned char>(c)) != mayHoldOthers[c])
            return false;
    }
    return true;
}());

/// How many of the classes may hold others: sixteen at a time, with byte-wide counters summed
/// up before any of them can overflow.
std::uint32_t countMayHoldOthers(const unsigned char *classes, std::uint32_t count) noexcept
{
    std::uint32_t total = 0;
    std::uint32_t i = 0;
    using V = simd::Native;
    const V::Bytes beforeLoops = V::splat(std::uint8_t(std::uint8_t(TagClass::hl20) - 1));
    const V::Bytes one = V::splat(1);
    const V::Bytes zero = V::zero();
    while (i + simd::width <= count) {
        V::Bytes counters = zero;
        for (int round = 0; round < 255 && i + simd::width <= count;
             ++round, i += std::uint32_t(simd::width)) {
            const V::Bytes c = V::load(classes + i);
            const V::Bytes envelope = V::equal(V::subtractFloored(c, beforeLoops), zero);
            const V::Bytes holds =
                V::either(V::butNot(one, envelope), V::both(envelope, V::both(c, one)));
            counters = V::add(counters, holds);
        }
        total += V::sum(counters);
    }
    for (; i < count; ++i)
        total += mayHoldOthersAt(classes[i]);
    return total;
}

/// The one walk over the segments: it builds the envelope and loop tree and, on the way, records
/// what is wrong with the envelopes (control numbers that do not match, counts that are off,
/// headers and trailers without each other, a malformed ISA).
class TreeWalk
{
public:
    /// `classes` are the segments' classes, found while they were cut.
    TreeWalk(const X12SegmentList &segments, NodeTable &table, LargeVector<X12Node::Kind> classes)
        : m_segments(segments), m_table(table)
    {
        m_table.segments = &DocumentBuilder::table(segments);
        reserveLarge(m_table.containerBits, segments.size() / 64 + 1);
        reserveLarge(m_table.containerRanks, segments.size() / 64 + 1);
        // Every segment is a node: each node's parent is written in its place (sizing writes
        // nothing), so that two parts of the walk can fill their halves at once.
        reserveLarge(m_table.parents, segments.size());
        m_table.parents.resize(segments.size());
        m_parents = m_table.parents.data();
        // Containers are counted in their places too, and the table cut to size at the end.
        reserveLarge(m_table.firstChildren, segments.size() + 2);
        m_table.firstChildren.resize(segments.size() + 2);
        m_firstChildren = m_table.firstChildren.data();
        // Room for the worst case, so that growing never copies: pages never written cost no
        // memory. Findings are rarely more than one a segment; past that they grow as usual.
        reserveLarge(m_table.roots, segments.size());
        reserveLarge(m_table.findings, segments.size() + 4);
        // Each segment's class waits in its node's place until the walk puts the kind there.
        assert(classes.size() == segments.size());
        m_table.kinds = std::move(classes);
        m_table.kinds.resize(segments.size(), X12Node::Kind{}); // never short of a node
        m_classes = m_table.kinds.data();
        m_kinds = m_table.kinds.data();
    }

    void run()
    {
        if (!walkInTwo()) {
            walk(std::uint32_t(m_segments.size()));
            finishWalk();
        }
        m_table.firstChildren.resize(m_containers); // shrinking writes nothing
        // Segments before, between or after interchanges are worth a word only in a file that
        // has interchanges.
        if (!m_anyInterchange)
            std::erase_if(m_table.findings, [](const FindingRecord &f) {
                return f.kind == FindingKind::outsideInterchange;
            });
        // A header left open is reported when its envelope ends: put it back in segment order.
        const auto bySegment = [](const FindingRecord &a, const FindingRecord &b) {
            return a.segment < b.segment;
        };
        if (!std::is_sorted(m_table.findings.begin(), m_table.findings.end(), bySegment))
            std::stable_sort(m_table.findings.begin(), m_table.findings.end(), bySegment);
        findRepeatedControls();
        // Room for listing the children, which is left to the first reader that asks: reserved
        // now, so that listing them allocates nothing.
        m_table.firstChildren.reserve(m_table.firstChildren.size() + 1);
        reserveLarge(m_table.childList, m_table.parents.size() - m_table.roots.size());
        m_table.childrenPending = true;
    }

    /// The transaction set codes of the ST headers, each once, in the order they first came.
    std::vector<std::string> takeTransactionSets() { return std::move(m_transactionSets); }

private:
    /// The second part of a walk in two: from segment `cut`, a transaction set header, where the
    /// interchange and the group whose headers are `interchange` and `group` are open and no
    /// transaction set is. Its nodes' parents and kinds, and its containers' counts (from
    /// `room` on), go to the first part's tables, in places that part does not reach; the rest
    /// goes to `part` until merge() adds it to the first part's. The two headers hold its first
    /// two containers, and their counts start at zero.
    TreeWalk(const TreeWalk &first, NodeTable &part, std::uint32_t cut, std::uint32_t interchange,
             std::uint32_t group, std::uint32_t room)
        : m_segments(first.m_segments), m_table(part), m_parents(first.m_parents),
          m_classes(first.m_classes), m_kinds(first.m_kinds + cut),
          m_firstChildren(first.m_firstChildren + room), m_base(cut), m_next(cut),
          m_anyInterchange(true)
    {
        m_table.segments = first.m_table.segments;
        m_table.containerBits.reserve((m_segments.size() - cut) / 64 + 2);
        m_table.containerRanks.reserve((m_segments.size() - cut) / 64 + 2);
        m_interchange = Open{Container{interchange, 0}};
        m_group = Open{Container{group, 1}};
        m_firstChildren[0] = 0;
        m_firstChildren[1] = 0;
        m_containers = 2;
        if ((cut & 63) != 0) { // the word the first part began; its rank is the first part's
            m_table.containerRanks.push_back(0);
            m_table.containerBits.push_back(0);
        }
    }

    /// Steps through the segments up to `end`.
    void walk(std::uint32_t end)
    {
        for (std::uint32_t i = m_next; i < end; ++i)
            step(static_cast<TagClass>(m_classes[i]), i);
    }

    /// Closes what the file left open at its end.
    void finishWalk()
    {
        endOutside();
        endStray();
        closeInterchange(EnvelopeEnd::endOfFile);
    }

    /// Walks a large file in two parts at once, on two cores: the second from the first
    /// transaction set header after the middle that follows a trailer. What the first part
    /// leaves open there follows from the classes before it (the interchange and group of the
    /// last ISA and GS, no transaction set), and is asserted when both parts are done; the
    /// counts that the second part's trailers check are added up then. False, having walked
    /// nothing, when the file is too small to be worth it or has no such place.
    bool walkInTwo()
    {
        const auto count = std::uint32_t(m_segments.size());
        if (count < 2 || count < partedWalkMinimum.load() || !hasSecondCore())
            return false;
        const auto *classes = reinterpret_cast<const unsigned char *>(m_classes);
        // A trailer right before it: no set is open. The last ISA and GS before it: no IEA or
        // GE since, so their interchange and group are open.
        const unsigned char *st = classes + count / 2;
        const unsigned char *const end = classes + count;
        do {
            st = static_cast<const unsigned char *>(
                std::memchr(st + 1, int(TagClass::st), std::size_t(end - st - 1)));
        } while (st != nullptr && st[-1] != static_cast<unsigned char>(TagClass::se));
        if (st == nullptr)
            return false;
        const auto cut = std::uint32_t(st - classes);
        const auto *isa =
            static_cast<const unsigned char *>(memrchr(classes, int(TagClass::isa), cut));
        if (isa == nullptr || std::memchr(isa, int(TagClass::iea), std::size_t(st - isa)))
            return false;
        const auto *gs = static_cast<const unsigned char *>(
            memrchr(isa, int(TagClass::gs), std::size_t(st - isa)));
        if (gs == nullptr || std::memchr(gs, int(TagClass::ge), std::size_t(st - gs)))
            return false;
        const auto interchange = std::uint32_t(isa - classes);
        const auto group = std::uint32_t(gs - classes);

        // The second part counts its containers after as many as the first part could have.
        const std::uint32_t room = countMayHoldOthers(classes, cut);
        NodeTable part;
        TreeWalk second(*this, part, cut, interchange, group, room);
        runParts(2, [&](std::size_t k) {
            if (k == 0) {
                walk(cut);
            } else {
                second.walk(count);
                second.finishWalk();
            }
        });
        // What the classes before the cut said the first part would leave open.
        assert(m_interchange && m_interchange->header.node == interchange && m_group &&
               m_group->header.node == group && !m_transaction && !m_outsideStart &&
               !m_strayStart && m_containers <= room);
        merge(second, cut);
        return true;
    }

    /// Adds the second part of a walk in two to this, the first, which stopped at `cut`.
    void merge(TreeWalk &second, std::uint32_t cut)
    {
        NodeTable &part = second.m_table;
        // The trailers of the interchange and group open at the cut count on from the first part.
        for (const Deferred &trailer : second.m_deferred) {
            const Open &open =
                trailer.header == m_interchange->header.node ? *m_interchange : *m_group;
            second.checkTrailerNow(trailer.index, trailer.header, open.count + trailer.count,
                                   trailer.rule);
        }
        const std::uint32_t containers = m_containers;
        const std::uint32_t *const counted = second.m_firstChildren;
        m_firstChildren[m_interchange->header.slot] += counted[0];
        m_firstChildren[m_group->header.slot] += counted[1];
        std::copy_n(counted + 2, second.m_containers - 2, m_firstChildren + containers); // down
        m_containers += second.m_containers - 2;
        std::size_t word = 0;
        if ((cut & 63) != 0) {
            m_table.containerBits.back() |= part.containerBits[0];
            word = 1;
        }
        for (; word < part.containerBits.size(); ++word) {
            m_table.containerBits.push_back(part.containerBits[word]);
            m_table.containerRanks.push_back(part.containerRanks[word] - 2 + containers);
        }
        m_table.roots.insert(m_table.roots.end(), part.roots.begin(), part.roots.end());
        m_table.findings.insert(m_table.findings.end(), part.findings.begin(), part.findings.end());
        for (std::string &code : second.m_transactionSets) {
            if (!m_seenSets.contains(code))
                m_transactionSets.push_back(std::move(code));
        }
        m_next = second.m_next;
    }

    using Kind = X12Node::Kind;
    static constexpr std::uint32_t none = X12Document::rootId();

    /// The ST02s of one functional group's transaction sets so far, as their segments: open
    /// addressing, with each number's hash beside its segment, and never more than half full. A
    /// slot is 8 bytes and a set takes at most four, so a group of a million sets costs 32 MB at
    /// most, with no allocation for each set.
    class SetControls
    {
    public:
        /// Adds the number of the set at `segment`; false, adding nothing, when an earlier set
        /// has it.
        bool insert(const X12SegmentList &segments, std::uint32_t segment, std::string_view control)
        {
            const auto hash = std::uint32_t(std::hash<std::string_view>{}(control));
            if (m_slots.size() < 2 * (m_count + 1))
                grow();
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
                Slot &slot = m_slots[i];
                if (slot.segment == none) {
                    slot = {segment, hash};
                    ++m_count;
                    return true;
                }
                if (slot.hash == hash &&
                    segments[slot.segment].element(envelope::stControl) == control)
                    return false;
            }
        }
        /// Starts the next group, letting the last one's slots go.
        void clear()
        {
            m_slots = {};
            m_count = 0;
        }

    private:
        struct Slot
        {
            std::uint32_t segment = none;
            std::uint32_t hash = 0;
        };
        void grow()
        {
            std::vector<Slot> old(std::max<std::size_t>(16, m_slots.size() * 2));
            old.swap(m_slots);
            const std::size_t mask = m_slots.size() - 1;
            for (const Slot &slot : old) {
                if (slot.segment == none)
                    continue;
                std::size_t i = slot.hash & mask;
                while (m_slots[i].segment != none)
                    i = (i + 1) & mask;
                m_slots[i] = slot;
            }
        }
        std::vector<Slot> m_slots; // a power of two of them, or none
        std::size_t m_count = 0;
    };

    /// A warning for each transaction set whose ST02 an earlier set of its group has. Found from
    /// the finished tree rather than during the walk, so that a walk in two parts compares sets
    /// on both sides of its cut; the findings are in segment order, as the walk left them.
    void findRepeatedControls()
    {
        if (m_table.kinds.empty())
            return; // nothing to search, and no place to search from
        const auto *kinds = reinterpret_cast<const unsigned char *>(m_table.kinds.data());
        const std::size_t walked = m_table.findings.size();
        // The next transaction set header from `from` on, before `to`, or null.
        const auto nextSet = [](const unsigned char *from, const unsigned char *to) {
            return static_cast<const unsigned char *>(
                std::memchr(from, int(Kind::transaction), std::size_t(to - from)));
        };
        SetControls controls;
        std::uint32_t group = none;
        // Most files number a group's sets upwards (0001, 0002, ...): a number above every one
        // before it is new, and needs no table. The table takes the group's earlier sets when a
        // number does not rise.
        bool rising = false;
        std::size_t lowestNew = 0; // while they rise: a number from this one up is new
        const unsigned char *const end = kinds + m_table.kinds.size();
        for (const unsigned char *st = nextSet(kinds, end); st; st = nextSet(st + 1, end)) {
            const auto index = std::uint32_t(st - kinds);
            const std::uint32_t parent = m_table.parents[index];
            if (parent == none || m_table.kinds[parent] != Kind::functionalGroup)
                continue;
            const std::string_view control = m_segments[index].element(envelope::stControl);
            if (control.empty())
                continue;
            if (parent != group) {
                group = parent;
                controls.clear();
                rising = true;
                lowestNew = 0;
            }
            if (rising) {
                // Fewer than 19 digits: adding one cannot overflow.
                const auto value = readCount(control);
                if (value && *value >= lowestNew) {
                    lowestNew = *value + 1;
                    continue;
                }
                rising = false;
                for (const unsigned char *earlier = nextSet(kinds + group + 1, st); earlier;
                     earlier = nextSet(earlier + 1, st)) {
                    const auto e = std::uint32_t(earlier - kinds);
                    const std::string_view number = m_segments[e].element(envelope::stControl);
                    if (m_table.parents[e] == group && !number.empty())
                        controls.insert(m_segments, e, number);
                }
            }
            if (!controls.insert(m_segments, index, control))
                add(FindingKind::stControlRepeated, index);
        }
        // Both runs are in segment order; on the same segment the walk's findings come first.
        if (m_table.findings.size() > walked)
            std::inplace_merge(
                m_table.findings.begin(), m_table.findings.begin() + std::ptrdiff_t(walked),
                m_table.findings.end(), [](const FindingRecord &a, const FindingRecord &b) {
                    return a.segment < b.segment;
                });
    }

    /// A node that holds others, with its place among containers (where its children are
    /// counted); `none` is the top level.
    struct Container
    {
        std::uint32_t node = none;
        std::uint32_t slot = 0;
    };

    /// An open envelope: its header, which is also its node, and what it has counted so far
    /// (groups in an interchange, sets in a group, segments in a set).
    struct Open
    {
        Container header;
        std::size_t count = 0;
    };

    struct Loop
    {
        int rank;
        Container node;
    };

    /// How a trailer is checked: the findings it can give, and the header's control number.
    struct TrailerRule
    {
        FindingKind controlMismatch;
        std::size_t headerControl; // the header's element, as X12Segment::element() counts
        FindingKind countMismatch;
    };
    /// A trailer left for merge() to check.
    struct Deferred
    {
        std::uint32_t index;
        std::uint32_t header;
        std::size_t count; // what this part counted
        TrailerRule rule;
    };

    void step(const TagClass tagClass, std::uint32_t index)
    {
        if (m_transaction)
            ++m_transaction->count;
        if (m_strayStart && tagClass != TagClass::other && tagClass <= TagClass::se)
            endStray(); // an envelope segment ends the run
        if (tagClass == TagClass::isa) {
            stepIsa(index);
            return;
        }
        if (!m_interchange && tagClass != TagClass::iea) {
            if (!m_outsideStart)
                m_outsideStart = index;
            ++m_outsideCount;
        } else {
            endOutside();
        }

        switch (tagClass) {
        case TagClass::iea:
            stepIea(index);
            return;
        case TagClass::gs:
            stepGs(index);
            return;
        case TagClass::ge:
            stepGe(index);
            return;
        case TagClass::st:
            stepSt(index);
            return;
        case TagClass::se:
            stepSe(index);
            return;
        default:
            stepInside(tagClass, index);
            return;
        }
    }

    // The steps of step() by the segment's class, each inlined where step() takes it.
    [[gnu::always_inline]] void stepIsa(std::uint32_t index)
    {
        endOutside();
        closeInterchange(EnvelopeEnd::nextIsa);
        checkHeader(m_segments[index], index);
        m_anyInterchange = true;
        m_loops.clear();
        m_interchange = Open{append({}, Kind::interchange)};
    }
    [[gnu::always_inline]] void stepIea(std::uint32_t index)
    {
        closeGroup(EnvelopeEnd::iea);
        m_loops.clear();
        append(headerOf(m_interchange), Kind::segment);
        if (m_interchange)
            checkTrailer(index, *m_interchange, FindingKind::ieaControl, envelope::isaControl,
                         FindingKind::ieaCount);
        else
            add(FindingKind::ieaWithoutIsa, index);
        m_interchange.reset();
    }
    [[gnu::always_inline]] void stepGs(std::uint32_t index)
    {
        closeGroup(EnvelopeEnd::nextGs);
        m_loops.clear();
        if (m_interchange)
            ++m_interchange->count;
        m_group = Open{append(headerOf(m_interchange), Kind::functionalGroup)};
        // GS06 is a number of 1 to 9 digits, which an acknowledgment echoes.
        const std::string_view control = m_segments[index].element(envelope::gsControl);
        if (control.empty() || control.size() > 9 ||
            !std::ranges::all_of(control, [](char c) { return c >= '0' && c <= '9'; }))
            add(FindingKind::gsControlInvalid, index);
    }
    [[gnu::always_inline]] void stepGe(std::uint32_t index)
    {
        closeTransaction(EnvelopeEnd::ge);
        m_loops.clear();
        append(innermost({&m_group, &m_interchange}), Kind::segment);
        if (m_group)
            checkTrailer(index, *m_group, FindingKind::geControl, envelope::gsControl,
                         FindingKind::geCount);
        else
            add(FindingKind::geWithoutGs, index);
        m_group.reset();
    }
    [[gnu::always_inline]] void stepSt(std::uint32_t index)
    {
        closeTransaction(EnvelopeEnd::nextSt);
        m_loops.clear();
        {
            const X12Segment st = m_segments[index];
            const std::string_view code = st.element(envelope::stCode);
            m_ranks = code == "835" ? &paymentLoopRanks : &loopRanks;
            if (!code.empty() && m_seenSets.insert(code).second)
                m_transactionSets.emplace_back(code);
            if (m_interchange && !m_group)
                add(FindingKind::stWithoutGs, index);
            if (st.element(envelope::stControl).empty())
                add(FindingKind::stControlEmpty, index);
        }
        if (m_group)
            ++m_group->count;
        // The set counts its ST and, when it comes, its SE.
        m_transaction = Open{append(innermost({&m_group, &m_interchange}), Kind::transaction), 1};
    }
    [[gnu::always_inline]] void stepSe(std::uint32_t index)
    {
        m_loops.clear();
        append(innermost({&m_transaction, &m_group, &m_interchange}), Kind::segment);
        if (m_transaction)
            checkTrailer(index, *m_transaction, FindingKind::seControl, envelope::stControl,
                         FindingKind::seCount);
        else
            add(FindingKind::seWithoutSt, index);
        if (m_segments[index].element(envelope::trailerControl).empty())
            add(FindingKind::seControlEmpty, index);
        m_transaction.reset();
        m_ranks = &loopRanks;
    }
    /// Any segment but an envelope's: it starts a loop by its rank, or joins the innermost one.
    [[gnu::always_inline]] void stepInside(const TagClass tagClass, std::uint32_t index)
    {
        // In a group, every segment belongs to a transaction set: between GS and ST, and between
        // SE and the next ST or GE, there should be none.
        if (!m_transaction && m_group && m_interchange) {
            if (!m_strayStart)
                m_strayStart = index;
            ++m_strayCount;
        }
        if (const int rank = (*m_ranks)[std::size_t(tagClass)]; rank >= 0) {
            while (!m_loops.empty() && m_loops.back().rank >= rank)
                m_loops.pop_back();
            const Container loop = append(currentContainer(), Kind::loop);
            m_loops.emplace_back();
            m_loops.back().rank = rank;
            m_loops.back().node = loop;
        } else {
            append(currentContainer(), Kind::segment);
        }
    }

    static Container headerOf(const std::optional<Open> &open)
    {
        return open ? open->header : Container{};
    }

    /// The header of the first open envelope among the candidates, innermost first.
    static Container innermost(std::initializer_list<const std::optional<Open> *> candidates)
    {
        for (const std::optional<Open> *candidate : candidates) {
            if (*candidate)
                return (*candidate)->header;
        }
        return {};
    }

    /// The innermost open node; `none` means the top level.
    Container currentContainer() const
    {
        if (!m_loops.empty())
            return m_loops.back().node;
        return innermost({&m_transaction, &m_group, &m_interchange});
    }

    /// Appends the node of the next segment. Until the children are listed, firstChildren counts
    /// each container's children.
    Container append(Container parent, Kind kind)
    {
        const std::uint32_t index = m_next++;
        if ((index & 63) == 0) {
            m_table.containerRanks.push_back(m_containers);
            m_table.containerBits.push_back(0);
        }
        if (parent.node == none)
            m_table.roots.push_back(index);
        else
            ++m_firstChildren[parent.slot];
        m_parents[index] = parent.node;
        m_kinds[index - m_base] = kind;
        if (kind == Kind::segment)
            return {index, 0};
        m_table.containerBits.back() |= std::uint64_t(1) << (index & 63);
        m_firstChildren[m_containers] = 0;
        return {index, m_containers++};
    }

    void add(FindingKind kind, std::uint32_t segment, std::size_t value = 0)
    {
        m_table.findings.push_back({segment, std::uint32_t(value), kind});
    }

    void endOutside()
    {
        if (m_outsideStart)
            add(FindingKind::outsideInterchange, *m_outsideStart, m_outsideCount);
        m_outsideStart.reset();
        m_outsideCount = 0;
    }
    void endStray()
    {
        if (m_strayStart)
            add(FindingKind::outsideTransaction, *m_strayStart, m_strayCount);
        m_strayStart.reset();
        m_strayCount = 0;
    }

    void checkHeader(const X12Segment &isa, std::uint32_t index)
    {
        if (const std::size_t length = IsaHeader::lengthOf(isa); length != IsaHeader::length)
            add(FindingKind::isaLength, index, length);
        if (!IsaHeader::hasOneCharacterComponent(isa))
            add(FindingKind::isaSeparator, index);
    }

    /// A trailer's control number against its header's, and its count against what the envelope
    /// holds.
    /// In the second part of a walk in two, a trailer whose header the first part opened waits
    /// for that part's count.
    void checkTrailer(std::uint32_t index, const Open &open, FindingKind controlMismatch,
                      std::size_t headerControl, FindingKind countMismatch)
    {
        const TrailerRule rule{controlMismatch, headerControl, countMismatch};
        if (open.header.node < m_base) {
            m_deferred.push_back({index, open.header.node, open.count, rule});
            return;
        }
        checkTrailerNow(index, open.header.node, open.count, rule);
    }
    void checkTrailerNow(std::uint32_t index, std::uint32_t header, std::size_t count,
                         const TrailerRule &rule)
    {
        const X12Segment trailer = m_segments[index];
        const std::string_view control = trailer.element(envelope::trailerControl);
        const std::string_view headerControl = m_segments[header].element(rule.headerControl);
        // An empty ST02 or SE02 has a finding of its own.
        const bool emptySetControl = rule.controlMismatch == FindingKind::seControl &&
                                     (control.empty() || headerControl.empty());
        if (control != headerControl && !emptySetControl)
            add(rule.controlMismatch, index, header);
        if (readCount(trailer.element(envelope::trailerCount)) != count)
            add(rule.countMismatch, index, count);
    }

    // Headers closed by something other than their trailer.
    void closeTransaction(EnvelopeEnd end)
    {
        if (m_transaction)
            add(FindingKind::unclosedTransaction, m_transaction->header.node, std::size_t(end));
        m_transaction.reset();
    }
    void closeGroup(EnvelopeEnd end)
    {
        closeTransaction(end);
        if (m_group)
            add(FindingKind::unclosedGroup, m_group->header.node, std::size_t(end));
        m_group.reset();
    }
    void closeInterchange(EnvelopeEnd end)
    {
        closeGroup(end);
        if (m_interchange)
            add(FindingKind::unclosedInterchange, m_interchange->header.node, std::size_t(end));
        m_interchange.reset();
    }

    const X12SegmentList &m_segments;
    NodeTable &m_table;
    std::uint32_t *m_parents = nullptr;       // by node, shared by both parts of a walk in two
    const X12Node::Kind *m_classes = nullptr; // by segment, until the walk puts kinds there
    X12Node::Kind *m_kinds = nullptr;         // by node, from m_base
    std::uint32_t *m_firstChildren = nullptr; // by container, from this part's first
    std::uint32_t m_containers = 0;           // so far
    std::uint32_t m_base = 0;                 // the first node this part walks
    std::uint32_t m_next = 0;                 // the next node
    std::vector<Deferred> m_deferred;
    std::optional<Open> m_interchange;
    std::optional<Open> m_group;
    std::optional<Open> m_transaction;
    std::vector<Loop> m_loops; // open loops, outermost first
    const std::array<std::int8_t, std::size_t(TagClass::count)> *m_ranks = &loopRanks;
    std::vector<std::string> m_transactionSets;
    std::unordered_set<std::string_view> m_seenSets;
    std::optional<std::uint32_t> m_outsideStart; // a run of segments outside any interchange
    std::size_t m_outsideCount = 0;
    std::optional<std::uint32_t> m_strayStart; // a run in a group but outside any transaction set
    std::size_t m_strayCount = 0;
    bool m_anyInterchange = false;
};

} // namespace

std::vector<std::string> walkTree(const X12SegmentList &segments, NodeTable &table,
                                  LargeVector<X12Node::Kind> classes)
{
    TreeWalk walk(segments, table, std::move(classes));
    walk.run();
    return walk.takeTransactionSets();
}

} // namespace kelvane::detail
