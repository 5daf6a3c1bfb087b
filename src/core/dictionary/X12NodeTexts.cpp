// Titles and one-line summaries of tree nodes, composed from one segment.

#include "core/dictionary/Dictionary_p.h"
#include "core/model/ElementReader_p.h"
#include "core/model/Envelope_p.h"
#include "core/support/TagKey_p.h"
#include "core/text/Unicode_p.h"
#include "core/model/X12Document.h"

#include <array>
#include <cstdint>
#include <optional>
#include <initializer_list>

#include <unicode/uchar.h>

namespace {

using kelvane::detail::appendAmount;
using kelvane::detail::appendDate;
using kelvane::detail::meaning;
using kelvane::detail::tagKey;

/// Appends parts with a separator between them, dropping empty parts (blank ones stay).
class Joiner
{
public:
    Joiner(std::string &out, std::string_view separator) : m_out(out), m_separator(separator) {}

    void add(std::string_view part)
    {
        if (part.empty())
            return;
        next();
        m_out.append(part);
    }
    /// Starts a part the caller writes itself; it must not come out empty.
    std::string &next()
    {
        if (!m_first)
            m_out.append(m_separator);
        m_first = false;
        return m_out;
    }

private:
    std::string &m_out;
    std::string_view m_separator;
    bool m_first = true;
};

/// meaning() for the dictionary's own lists, which live as long as the program: remembered per
/// list and code on each thread, as titles ask the same few codes millions of times.
std::optional<std::string_view> knownMeaning(const X12Dictionary::CodeList &list,
                                             std::string_view code)
{
    const std::uint64_t key = kelvane::detail::tagKey(code);
    if (key == kelvane::detail::longTagKey)
        return meaning(list, code);
    struct Remembered
    {
        const X12Dictionary::CodeList *list = nullptr;
        std::uint64_t key = 0;
        std::optional<std::string_view> meaning;
    };
    thread_local std::array<Remembered, 256> remembered;
    Remembered &slot =
        remembered[kelvane::detail::tagSlot<8>(key + reinterpret_cast<std::uintptr_t>(&list))];
    if (slot.list != &list || slot.key != key)
        slot = {&list, key, meaning(list, code)};
    return slot.meaning;
}

void lookupOrRaw(std::string &out, const X12Dictionary::CodeList &list, std::string_view value)
{
    out.append(knownMeaning(list, value).value_or(value));
}

void dateOrRaw(std::string &out, std::string_view value)
{
    if (!appendDate(out, value))
        out.append(value);
}

void amountOrRaw(std::string &out, std::string_view value)
{
    if (!appendAmount(out, value))
        out.append(value);
}

/// "label " and the amount, when the value is an amount.
void addAmountPart(Joiner &joiner, std::string_view label, std::string_view value)
{
    std::string part(label);
    if (appendAmount(part, value))
        joiner.add(part);
}

/// A segment's tag and elements, each cut as a composed text quotes it.
class Pieces
{
public:
    explicit Pieces(const X12Segment &segment) noexcept : m_elements(segment) {}

    std::string_view tag() const noexcept
    {
        return kelvane::detail::limitedPiece(m_elements.tag());
    }
    std::string_view operator()(std::ptrdiff_t position) const noexcept
    {
        return kelvane::detail::limitedPiece(m_elements.at(position));
    }

private:
    kelvane::detail::ElementReader m_elements;
};

/// CAS: group, reason and amount.
void appendAdjustment(std::string &out, const Pieces &e)
{
    lookupOrRaw(out, X12Dictionary::adjustmentGroup(), e(1));
    out += " \u00B7 reason ";
    out.append(e(2));
    out += " \u00B7 ";
    amountOrRaw(out, e(3));
}

/// N4: "city, state zip", the separators written even when a part is empty.
void appendCityLine(std::string &out, const Pieces &e)
{
    out.append(e(1));
    out += ", ";
    out.append(e(2));
    out += ' ';
    out.append(e(3));
}

/// DMG: birth date and gender.
void appendDemographics(std::string &out, const Pieces &e)
{
    out += "DOB ";
    dateOrRaw(out, e(2));
    out += " \u00B7 ";
    lookupOrRaw(out, X12Dictionary::genderCode(), e(3));
}

/// PER: the contact's name and each communication number that is there.
void appendContact(std::string &out, const Pieces &e)
{
    // The PER03 list names all three qualifiers, so WP reads "Work Phone" in every pair.
    const X12Dictionary::CodeList &qualifiers = *X12Dictionary::codeLists().at("PER03");
    Joiner parts(out, " \u00B7 ");
    parts.add(e(2));
    for (std::ptrdiff_t k : {3, 5, 7}) {
        if (e(k + 1).empty())
            continue;
        std::string &part = parts.next();
        lookupOrRaw(part, qualifiers, e(k));
        part += ' ';
        part.append(e(k + 1));
    }
}

/// BPR: amount, payment method and date.
void appendPayment(std::string &out, const Pieces &e)
{
    amountOrRaw(out, e(2));
    out += " by ";
    lookupOrRaw(out, X12Dictionary::paymentMethod(), e(4));
    out += " on ";
    dateOrRaw(out, e(16));
}

} // namespace

namespace kelvane::detail {

void appendPersonName(std::string &out, const X12Segment &segment)
{
    const kelvane::detail::ElementReader elements(segment);
    const auto e = [&](std::ptrdiff_t k) { return kelvane::detail::limitedPiece(elements.at(k)); };
    if (elements.tag() == "N1") {
        out.append(e(2));
        return;
    }
    if (e(2) == "2") {
        out.append(e(3));
    } else {
        Joiner name(out, " ");
        name.add(e(4));
        name.add(e(5));
        name.add(e(3));
    }
    if (!e(7).empty()) {
        out += ' ';
        out.append(e(7));
    }
}

void appendSegmentSubtitle(std::string &out, const X12Segment &segment)
{
    const Pieces e(segment);
    switch (tagKey(e.tag())) {
    case tagKey("DTP"):
        lookupOrRaw(out, X12Dictionary::dtpQualifier(), e(1));
        out += ": ";
        dateOrRaw(out, e(3));
        break;
    case tagKey("REF"):
        lookupOrRaw(out, X12Dictionary::refQualifier(), e(1));
        out += ": ";
        out.append(e(2));
        break;
    case tagKey("AMT"):
        lookupOrRaw(out, X12Dictionary::amtQualifier(), e(1));
        out += ": ";
        amountOrRaw(out, e(2));
        break;
    case tagKey("CAS"):
        appendAdjustment(out, e);
        break;
    case tagKey("N3"): {
        Joiner address(out, ", ");
        address.add(e(1));
        address.add(e(2));
        break;
    }
    case tagKey("N4"):
        appendCityLine(out, e);
        break;
    case tagKey("DMG"):
        appendDemographics(out, e);
        break;
    case tagKey("PER"):
        appendContact(out, e);
        break;
    case tagKey("HI"): {
        Joiner codes(out, ", ");
        for (std::ptrdiff_t k = 1; k <= 6; ++k)
            codes.add(e(k));
        break;
    }
    case tagKey("NTE"):
        out.append(e(2));
        break;
    case tagKey("BPR"):
        appendPayment(out, e);
        break;
    case tagKey("TRN"):
        out += "Trace ";
        out.append(e(2));
        break;
    case tagKey("SE"):
    case tagKey("GE"):
    case tagKey("IEA"):
        out += "control ";
        out.append(e(2));
        break;
    default: {
        Joiner firstThree(out, " \u00B7 ");
        for (std::ptrdiff_t k = 1; k <= 3; ++k)
            firstThree.add(e(k));
        break;
    }
    }
}

void appendLoopTitle(std::string &out, const X12Segment &segment)
{
    const kelvane::detail::ElementReader elements(segment);
    const std::string_view tag = kelvane::detail::limitedPiece(elements.tag());
    const auto e = [&](std::ptrdiff_t k) { return kelvane::detail::limitedPiece(elements.at(k)); };
    switch (tagKey(tag)) {
    case tagKey("HL"):
        out += "HL ";
        out.append(e(1));
        out += " \u2014 ";
        if (const auto level = knownMeaning(X12Dictionary::hierarchicalLevel(), e(3))) {
            out.append(*level);
        } else {
            out += "Level ";
            out.append(e(3));
        }
        break;
    case tagKey("NM1"):
    case tagKey("N1"): {
        if (const auto entity = knownMeaning(X12Dictionary::entityIdentifier(), e(1))) {
            out.append(*entity);
        } else {
            out += "Entity ";
            out.append(e(1));
        }
        const std::size_t at = out.size();
        out += ": ";
        const std::size_t nameAt = out.size();
        appendPersonName(out, segment);
        if (out.size() == nameAt)
            out.resize(at);
        break;
    }
    case tagKey("CLM"):
        out += "Claim ";
        out.append(e(1));
        break;
    case tagKey("CLP"):
        out += "Claim Payment ";
        out.append(e(1));
        break;
    case tagKey("LX"):
        out += "Line ";
        out.append(e(1));
        break;
    case tagKey("SVC"): {
        // The procedure code is the second non-empty piece of a composite, split at ":" whatever
        // the file's component separator is.
        std::string_view code = e(1);
        std::string_view rest = e(1);
        int pieces = 0;
        while (!rest.empty() && pieces < 2) {
            const std::size_t colon = rest.find(':');
            const std::string_view piece = rest.substr(0, colon);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
            if (!piece.empty() && ++pieces == 2)
                code = piece;
        }
        out += "Service ";
        out.append(code);
        break;
    }
    case tagKey("PAT"):
        out += "Patient";
        break;
    case tagKey("INS"):
        out += "Insured / Member";
        break;
    case tagKey("ENT"):
        out += "Entity ";
        out.append(e(1));
        break;
    default:
        out.append(tag);
        out += " \u2014 ";
        appendSegmentName(out, tag);
        break;
    }
}

void appendLoopSubtitle(std::string &out, const X12Segment &segment)
{
    const kelvane::detail::ElementReader elements(segment);
    const std::string_view tag = kelvane::detail::limitedPiece(elements.tag());
    const auto e = [&](std::ptrdiff_t k) { return kelvane::detail::limitedPiece(elements.at(k)); };
    switch (tagKey(tag)) {
    case tagKey("NM1"):
        if (e(9).empty())
            return;
        lookupOrRaw(out, X12Dictionary::idCodeQualifier(), e(8));
        out += ' ';
        out.append(e(9));
        break;
    case tagKey("CLM"): {
        const std::size_t at = out.size();
        out += "Charge ";
        if (!appendAmount(out, e(2)))
            out.resize(at);
        break;
    }
    case tagKey("CLP"): {
        Joiner parts(out, " \u00B7 ");
        if (const auto status = knownMeaning(X12Dictionary::claimStatus(), e(2)))
            parts.add(*status);
        addAmountPart(parts, "charged ", e(3));
        addAmountPart(parts, "paid ", e(4));
        break;
    }
    case tagKey("SVC"): {
        Joiner parts(out, " \u00B7 ");
        addAmountPart(parts, "charged ", e(2));
        addAmountPart(parts, "paid ", e(3));
        break;
    }
    default:
        appendSegmentSubtitle(out, segment);
        break;
    }
}

void appendEnvelopeSubtitle(std::string &out, const X12Segment &segment)
{
    const kelvane::detail::ElementReader elements(segment);
    const std::string_view tag = kelvane::detail::limitedPiece(elements.tag());
    const auto e = [&](std::size_t index) {
        return kelvane::detail::limitedPiece(elements.element(index));
    };
    if (tag == "ISA") {
        out.append(kelvane::detail::trimBlanks(e(envelope::isaSender)));
        out += " \u2192 ";
        out.append(kelvane::detail::trimBlanks(e(envelope::isaReceiver)));
        out += " \u00B7 ";
        dateOrRaw(out, e(envelope::isaDate));
        out += " \u00B7 ";
        lookupOrRaw(out, X12Dictionary::usageIndicator(), e(envelope::isaUsage));
        out += " \u00B7 control ";
        out.append(e(envelope::isaControl));
    } else if (tag == "GS") {
        lookupOrRaw(out, X12Dictionary::functionalGroups(), e(envelope::gsFunction));
        out += " \u00B7 ";
        out.append(e(envelope::gsSender));
        out += " \u2192 ";
        out.append(e(envelope::gsReceiver));
        out += " \u00B7 ";
        dateOrRaw(out, e(envelope::gsDate));
        out += " \u00B7 ";
        out.append(e(envelope::gsVersion));
    }
}

} // namespace kelvane::detail

namespace X12Dictionary {

namespace {

template <void (*append)(std::string &, const X12Segment &)>
std::string composed(const X12Segment &segment)
{
    std::string text;
    append(text, segment);
    return text;
}

} // namespace

std::string personName(const X12Segment &segment)
{
    return composed<kelvane::detail::appendPersonName>(segment);
}

std::string segmentSubtitle(const X12Segment &segment)
{
    return composed<kelvane::detail::appendSegmentSubtitle>(segment);
}

std::string loopTitle(const X12Segment &segment)
{
    return composed<kelvane::detail::appendLoopTitle>(segment);
}

std::string loopSubtitle(const X12Segment &segment)
{
    return composed<kelvane::detail::appendLoopSubtitle>(segment);
}

std::string envelopeSubtitle(const X12Segment &segment)
{
    return composed<kelvane::detail::appendEnvelopeSubtitle>(segment);
}

void appendNodeTitle(const X12Document &document, const X12Segment &segment, std::string &out)
{
    switch (document.kind(std::uint32_t(segment.position() - 1))) {
    case X12Node::Kind::interchange:
        out += "Interchange";
        return;
    case X12Node::Kind::functionalGroup:
        out += "Functional Group ";
        out.append(
            kelvane::detail::limitedPiece(segment.element(kelvane::detail::envelope::gsFunction)));
        return;
    case X12Node::Kind::transaction:
        out += "Transaction Set ";
        out.append(
            kelvane::detail::limitedPiece(segment.element(kelvane::detail::envelope::stCode)));
        return;
    case X12Node::Kind::loop:
        kelvane::detail::appendLoopTitle(out, segment);
        return;
    case X12Node::Kind::segment:
        kelvane::detail::appendSegmentTitle(out, segment.tag());
        return;
    }
}

void appendNodeSubtitle(const X12Document &document, const X12Segment &segment, std::string &out)
{
    switch (document.kind(std::uint32_t(segment.position() - 1))) {
    case X12Node::Kind::interchange:
    case X12Node::Kind::functionalGroup:
        kelvane::detail::appendEnvelopeSubtitle(out, segment);
        return;
    case X12Node::Kind::transaction:
        out += transactionSetName(segment.element(kelvane::detail::envelope::stCode));
        return;
    case X12Node::Kind::loop:
        kelvane::detail::appendLoopSubtitle(out, segment);
        return;
    case X12Node::Kind::segment:
        kelvane::detail::appendSegmentSubtitle(out, segment);
        return;
    }
}

std::string nodeTitle(const X12Document &document, std::uint32_t index)
{
    std::string text;
    appendNodeTitle(document, document.segment(index), text);
    return text;
}

std::string nodeSubtitle(const X12Document &document, std::uint32_t index)
{
    std::string text;
    appendNodeSubtitle(document, document.segment(index), text);
    return text;
}

} // namespace X12Dictionary
