// The one description of an element: reference, name, value and readable text.

#include "core/dictionary/Dictionary_p.h"
#include "core/dictionary/X12Dictionary.h"

#include <charconv>
#include <unordered_map>
#include <vector>

struct X12Dictionary::ElementVocabulary::Rule
{
    kelvane::detail::Formatter formatter = kelvane::detail::Formatter::none;
    const CodeList *codes = nullptr;
};

namespace {

using Rule = X12Dictionary::ElementVocabulary::Rule;
using Reading = X12Dictionary::ElementDescription::Reading;

// No tag the tables know is longer; a runaway one (a file without element separators is one
// tag) is never hashed.
constexpr std::size_t longestKnownTag = 8;
// A reference or a finding shows at most this much of its tag, so that one made for each of
// millions of elements stays small.
constexpr std::size_t longestQuotedTag = 32;

/// The rules of every tag with formatted or coded elements, built once from the two tables keyed
/// by element reference: the tag before the last two digits, the position after them.
const std::unordered_map<std::string_view, std::vector<Rule>> &rulesByTag()
{
    static const std::unordered_map<std::string_view, std::vector<Rule>> rules = [] {
        std::unordered_map<std::string_view, std::vector<Rule>> byTag;
        auto ruleFor = [&byTag](std::string_view reference) -> Rule & {
            const std::string_view tag = reference.substr(0, reference.size() - 2);
            const auto position = std::size_t((reference[reference.size() - 2] - '0') * 10 +
                                              (reference.back() - '0'));
            std::vector<Rule> &list = byTag[tag];
            if (list.size() <= position)
                list.resize(position + 1);
            return list[position];
        };
        for (const auto &[reference, formatter] : kelvane::detail::formatters())
            ruleFor(reference).formatter = formatter;
        for (const auto &[reference, codes] : X12Dictionary::codeLists())
            ruleFor(reference).codes = codes;
        return byTag;
    }();
    return rules;
}

} // namespace

namespace X12Dictionary {

std::string quotedTag(std::string_view tag)
{
    if (tag.size() <= longestQuotedTag)
        return std::string(tag);
    return std::string(VisibleText::cut(tag, longestQuotedTag)) + "\u2026";
}

ElementVocabulary::ElementVocabulary(std::string_view tag) : m_referenceTag(quotedTag(tag))
{
    if (tag.size() > longestKnownTag)
        return;
    const ElementNameTable &names = elementNames();
    if (const auto it = names.find(tag); it != names.end())
        m_names = it->second;
    const auto &rules = rulesByTag();
    if (const auto it = rules.find(tag); it != rules.end()) {
        m_rules = it->second.data();
        m_ruleCount = it->second.size();
    }
}

const ElementVocabulary::Rule *ElementVocabulary::rule(std::ptrdiff_t position) const noexcept
{
    if (position < 1 || std::size_t(position) >= m_ruleCount)
        return nullptr;
    return &m_rules[position];
}

void ElementVocabulary::appendReference(std::string &out, std::ptrdiff_t position) const
{
    // The position as "%02d" writes it: two digits at least, more as needed, and a sign.
    out += m_referenceTag;
    if (position >= 0 && position < 10)
        out += '0';
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, position).ptr;
    out.append(digits, std::size_t(end - digits));
}

std::optional<std::string_view> ElementVocabulary::tableName(std::ptrdiff_t position) const noexcept
{
    if (position < 1 || std::size_t(position) > m_names.size())
        return std::nullopt;
    return m_names[std::size_t(position - 1)];
}

void ElementVocabulary::appendName(std::string &out, std::ptrdiff_t position) const
{
    if (const auto name = tableName(position))
        out.append(*name);
    else
        appendReference(out, position);
}

bool ElementVocabulary::appendFormatted(std::string &out, std::ptrdiff_t position,
                                        std::string_view value) const
{
    const Rule *r = rule(position);
    return r && kelvane::detail::appendFormatted(out, r->formatter, value);
}

std::optional<std::string_view> ElementVocabulary::meaning(std::ptrdiff_t position,
                                                           std::string_view value) const
{
    const Rule *r = rule(position);
    if (!r || !r->codes || value.empty())
        return std::nullopt;
    return kelvane::detail::meaning(*r->codes, value);
}

Reading ElementVocabulary::appendReadable(std::string &out, std::ptrdiff_t position,
                                          std::string_view value) const
{
    if (appendFormatted(out, position, value))
        return Reading::formatted;
    if (const auto text = meaning(position, value)) {
        out.append(*text);
        return Reading::decoded;
    }
    return Reading::plain;
}

ElementDescription ElementVocabulary::describe(std::ptrdiff_t position,
                                               std::string_view value) const
{
    ElementDescription description;
    appendReference(description.reference, position);
    appendName(description.name, position);
    description.value = value;
    description.reading = appendReadable(description.readable, position, value);
    return description;
}

ElementDescription describeElement(std::string_view tag, std::ptrdiff_t position,
                                   std::string_view value)
{
    return ElementVocabulary(tag).describe(position, value);
}

} // namespace X12Dictionary
