#include "core/X12EnvelopeCheck.h"

#include "core/Unicode_p.h"
#include "core/X12Document.h"

#include <algorithm>
#include <optional>

namespace {

using Severity = X12Finding::Severity;

std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    kelvane::detail::forEachCharacter(text, [&count](std::size_t, std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string plural(std::size_t count, std::string_view word)
{
    std::string text = std::to_string(count) + " " + std::string(word);
    if (count != 1)
        text += 's';
    return text;
}

/// An open envelope: its header's index and control number, and what it has counted so far.
struct Open
{
    std::uint32_t header;
    std::string control;
    std::size_t count = 0; // groups in an interchange, sets in a group, segments in a set
};

class Checker
{
public:
    explicit Checker(const X12Document &document) : m_document(document) {}

    std::vector<X12Finding> run()
    {
        const auto &segments = m_document.segments();
        bool anyInterchange = false;
        for (const X12Segment segment : segments) {
            if (segment.tag() == "ISA") {
                anyInterchange = true;
                break;
            }
        }
        std::optional<std::uint32_t> outsideStart;
        std::size_t outsideCount = 0;
        auto endOutside = [&] {
            if (outsideStart && anyInterchange)
                add(Severity::warning, *outsideStart,
                    plural(outsideCount, "segment") + " outside any interchange");
            outsideStart.reset();
            outsideCount = 0;
        };

        for (std::uint32_t i = 0; i < segments.size(); ++i) {
            const X12Segment segment = m_document.segment(i);
            const std::string_view tag = segment.tag();
            if (m_transaction)
                ++m_transaction->count;
            if (tag == "ISA") {
                endOutside();
                closeInterchange("the next ISA");
                checkHeader(segment, i);
                m_interchange = Open{i, std::string(segment.element(12))};
                continue;
            }
            if (!m_interchange && tag != "IEA") {
                if (!outsideStart)
                    outsideStart = i;
                ++outsideCount;
            } else {
                endOutside();
            }
            if (tag == "IEA")
                onIEA(segment, i);
            else if (tag == "GS")
                onGS(segment, i);
            else if (tag == "GE")
                onGE(segment, i);
            else if (tag == "ST")
                onST(segment, i);
            else if (tag == "SE")
                onSE(segment, i);
        }
        endOutside();
        closeInterchange("the end of the file");
        // A header left open is reported when its envelope ends: put it back in segment order.
        std::stable_sort(m_findings.begin(), m_findings.end(),
                         [](const X12Finding &a, const X12Finding &b) { return a.position < b.position; });
        return std::move(m_findings);
    }

private:
    void add(Severity severity, std::uint32_t index, std::string message)
    {
        m_findings.push_back({severity, index + 1, std::move(message)});
    }

    void checkHeader(const X12Segment &isa, std::uint32_t index)
    {
        // The header is fixed-width: 105 characters and its terminator.
        const std::size_t length = characterCount(isa.raw()) + 1;
        if (length != 106)
            add(Severity::warning, index,
                "ISA is " + std::to_string(length) + " characters long, not 106");
        const std::string_view separator = isa.element(15);
        if (characterCount(separator) != 1)
            add(Severity::warning, index,
                "ISA16 \"" + std::string(separator) + "\" is not a single character");
    }

    // Headers closed by something other than their trailer.
    void closeTransaction(std::string_view by)
    {
        if (m_transaction)
            add(Severity::error, m_transaction->header,
                "ST02 " + m_transaction->control + " has no SE: the set ends at " + std::string(by));
        m_transaction.reset();
    }
    void closeGroup(std::string_view by)
    {
        closeTransaction(by);
        if (m_group)
            add(Severity::error, m_group->header,
                "GS06 " + m_group->control + " has no GE: the group ends at " + std::string(by));
        m_group.reset();
    }
    void closeInterchange(std::string_view by)
    {
        closeGroup(by);
        if (m_interchange)
            add(Severity::error, m_interchange->header,
                "ISA13 " + m_interchange->control + " has no IEA: the interchange ends at " +
                    std::string(by));
        m_interchange.reset();
    }

    void onIEA(const X12Segment &iea, std::uint32_t index)
    {
        closeGroup("IEA");
        if (!m_interchange) {
            add(Severity::error, index, "IEA without ISA");
            return;
        }
        const std::string_view control = iea.element(1);
        if (control != m_interchange->control)
            add(Severity::error, index,
                "IEA02 " + std::string(control) + " does not match ISA13 " + m_interchange->control);
        checkCount(iea.element(0), m_interchange->count, index, "IEA01", "functional group",
                   "the interchange");
        m_interchange.reset();
    }

    void onGS(const X12Segment &gs, std::uint32_t index)
    {
        closeGroup("the next GS");
        if (m_interchange)
            ++m_interchange->count;
        m_group = Open{index, std::string(gs.element(5))};
    }

    void onGE(const X12Segment &ge, std::uint32_t index)
    {
        closeTransaction("GE");
        if (!m_group) {
            add(Severity::error, index, "GE without GS");
            return;
        }
        const std::string_view control = ge.element(1);
        if (control != m_group->control)
            add(Severity::error, index,
                "GE02 " + std::string(control) + " does not match GS06 " + m_group->control);
        checkCount(ge.element(0), m_group->count, index, "GE01", "transaction set", "the group");
        m_group.reset();
    }

    void onST(const X12Segment &st, std::uint32_t index)
    {
        closeTransaction("the next ST");
        if (m_group)
            ++m_group->count;
        m_transaction = Open{index, std::string(st.element(1)), 1};
    }

    void onSE(const X12Segment &se, std::uint32_t index)
    {
        if (!m_transaction) {
            add(Severity::error, index, "SE without ST");
            return;
        }
        const std::string_view control = se.element(1);
        if (control != m_transaction->control)
            add(Severity::error, index,
                "SE02 " + std::string(control) + " does not match ST02 " + m_transaction->control);
        // SE01 counts the ST and SE segments themselves.
        checkCount(se.element(0), m_transaction->count, index, "SE01", "segment",
                   "the transaction set (ST to SE)");
        m_transaction.reset();
    }

    void checkCount(std::string_view written, std::size_t actual, std::uint32_t index,
                    std::string_view element, std::string_view what, std::string_view where)
    {
        std::size_t value = 0;
        bool number = !written.empty() && written.size() < 19;
        for (char c : written) {
            number = number && c >= '0' && c <= '9';
            value = value * 10 + std::size_t(c - '0');
        }
        if (number && value == actual)
            return;
        add(Severity::error, index,
            std::string(element) + " says " +
                (number ? plural(value, what) : "\"" + std::string(written) + "\"") + "; " +
                std::string(where) + " has " + std::to_string(actual));
    }

    const X12Document &m_document;
    std::vector<X12Finding> m_findings;
    std::optional<Open> m_interchange;
    std::optional<Open> m_group;
    std::optional<Open> m_transaction;
};

} // namespace

std::string_view toString(X12Finding::Severity severity) noexcept
{
    return severity == X12Finding::Severity::error ? "error" : "warning";
}

namespace X12EnvelopeCheck {

std::vector<X12Finding> findings(const X12Document &document)
{
    return Checker(document).run();
}

} // namespace X12EnvelopeCheck
