#include "core/parse/X12Parser.h"

#include "core/parse/DocumentBuilder_p.h"
#include "core/parse/IsaHeader_p.h"
#include "core/parse/LineBreaks_p.h"
#include "core/parse/SegmentScanner_p.h"
#include "core/parse/SegmentSplit_p.h"
#include "core/parse/TreeWalk_p.h"
#include "core/text/TextFile.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <tuple>

namespace {

using kelvane::detail::DocumentBuilder;

bool isBlank(std::string_view text)
{
    bool blank = true;
    kelvane::detail::forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        blank = kelvane::detail::isCharacterWhiteSpace(text.data() + begin, end - begin);
        return blank;
    });
    return blank;
}

/// Where the lines before a first header that begins a line end, such as a mail service's
/// envelope line: 0 when there are none. They are no part of the interchange, and each ends at
/// its line break, whether or not it holds a terminator.
std::size_t linesBeforeHeader(std::string_view text, const kelvane::detail::Detection &detection)
{
    if (!detection.header || detection.delimiters.segment == "\n")
        return 0;
    const std::size_t header = *detection.header;
    const std::size_t lineBreak = text.rfind('\n', header);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    if (lineBreak != std::string_view::npos &&
        std::all_of(text.begin() + lineBreak + 1, text.begin() + header, blank))
        return lineBreak + 1;
    return 0;
}

} // namespace

namespace X12Parser {

X12Delimiters detectDelimiters(std::string_view text)
{
    return kelvane::detail::detect(text).delimiters;
}

X12SegmentList splitSegments(std::string_view text, const X12Delimiters &delimiters)
{
    return kelvane::detail::split(text, delimiters).first;
}

std::pair<X12Delimiters, X12SegmentList> splitWithBestDelimiters(std::string_view text)
{
    using kelvane::detail::split;
    kelvane::detail::Detection detection = kelvane::detail::detect(text);
    X12Delimiters &detected = detection.delimiters;
    const std::size_t linesEnd = linesBeforeHeader(text, detection);
    // Each later interchange is cut with its own header's delimiters, as long as the first
    // header's cut the file; when it did not, the file's headers are not to be trusted, and
    // neither the cut nor the fallback follows them.
    auto [segments, stats] = split(text, detected, detection.header.has_value(), linesEnd);
    if (stats.looksSplit())
        return {std::move(detected), std::move(segments)};
    if (!DocumentBuilder::table(segments).laterDelimiters.empty())
        std::tie(segments, stats) = split(text, detected, false, linesEnd);

    // Candidates are only counted; the winner, if any, is split once more to keep it.
    const std::size_t baseline = stats.count;
    for (std::string_view terminator : kelvane::detail::fallbackTerminators) {
        if (terminator == detected.segment)
            continue; // gives the same split again, which cannot win
        kelvane::detail::CandidateStats candidate;
        kelvane::detail::scanSegments(text, detected.element, terminator, candidate);
        if (candidate.count > baseline && candidate.looksSplit()) {
            X12Delimiters chosen = detected;
            chosen.segment = terminator;
            X12SegmentList winner = split(text, chosen).first;
            return {std::move(chosen), std::move(winner)};
        }
    }
    return {std::move(detected), std::move(segments)};
}

X12Tree buildTree(const X12SegmentList &segments)
{
    X12Tree tree;
    kelvane::detail::walkTree(segments, DocumentBuilder::table(tree),
                              DocumentBuilder::table(segments).classes);
    return tree;
}

std::expected<std::shared_ptr<const X12Document>, X12ParseError> parse(std::string text,
                                                                       std::string fileName)
{
    assert(text.size() <= TextFile::maxSize);
    kelvane::detail::normalizeLineEnds(text);
    if (const std::optional<std::size_t> width = kelvane::detail::recordWidth(text))
        kelvane::detail::removeRecordBreaks(text, *width);
    if (isBlank(text))
        return std::unexpected(X12ParseError::empty);

    // The document owns the text before anything points into it.
    std::shared_ptr<X12Document> document = DocumentBuilder::makeDocument();
    std::string &owned = DocumentBuilder::text(*document);
    owned = std::move(text);

    auto [delimiters, segments] = splitWithBestDelimiters(owned);
    if (segments.empty())
        return std::unexpected(X12ParseError::noSegments);

    X12Tree tree;
    std::vector<std::string> transactionSets =
        kelvane::detail::walkTree(segments, DocumentBuilder::table(tree),
                                  std::move(DocumentBuilder::table(segments).classes));

    DocumentBuilder::finishDocument(*document, std::move(fileName), std::move(delimiters),
                                    std::move(segments), std::move(tree),
                                    std::move(transactionSets));
    return document;
}

} // namespace X12Parser
