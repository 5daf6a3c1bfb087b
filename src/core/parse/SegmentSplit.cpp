#include "core/parse/SegmentSplit_p.h"

#include "core/parse/ByteCounts_p.h"
#include "core/parse/SegmentSink_p.h"
#include "core/parse/X12Parser_p.h"
#include "core/support/Parallel_p.h"

#include <algorithm>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace kelvane::detail {

namespace {

/// Scans the text from `start` to its end into the sink, cutting anew wherever the sink follows
/// a later header.
void scanAll(std::string_view text, SegmentSink &sink, ScanPoint start = {})
{
    std::optional<ScanPoint> from = start;
    while (from) {
        // Copies: the sink's delimiters move when it notes the next header.
        const std::string element = sink.delimiters().element;
        const std::string terminator = sink.delimiters().segment;
        from = scanSegments(text, element, terminator, sink, *from);
    }
}

/// Scans the lines before byte `linesEnd` into the sink, cutting each at the terminator and ending
/// it at its line break; where the scan goes on: `linesEnd`, or before a segment whose header the
/// text is cut anew by. `linesEnd` is 0 or follows a line break.
ScanPoint scanLines(std::string_view text, std::size_t linesEnd, SegmentSink &sink)
{
    // Copies: the sink's delimiters move when it notes a header. Those that cut differently end
    // the lines' scan, so these hold for all of it.
    const std::string element = sink.delimiters().element;
    const std::string terminator = sink.delimiters().segment;
    ScanPoint at;
    while (at.byte < linesEnd) {
        const std::size_t lineBreak = text.find('\n', at.byte);
        if (lineBreak == at.byte) { // an empty line holds no segment
            ++at.byte;
            ++at.index;
            continue;
        }
        if (const std::optional<ScanPoint> restart =
                scanSegments(text.substr(0, lineBreak), element, terminator, sink, at))
            return *restart;
        // Nothing joins a line feed to the character after it.
        const std::string_view line = text.substr(at.byte, lineBreak + 1 - at.byte);
        at.index += isPlainAscii(line) ? line.size() : characterCount(line);
        at.byte = lineBreak + 1;
    }
    return at;
}

/// A place soon after `middle` where the text can be cut in two and each part segmented alone
/// with the same result: just after a one-byte terminator with plain ASCII on both sides (one
/// character, which nothing joins), before a segment that is no ISA header. npos if none comes
/// within a megabyte.
std::size_t cutNear(std::string_view text, std::size_t middle, char terminator)
{
    const auto plain = [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; };
    const std::size_t limit = std::min(text.size(), middle + (1u << 20));
    for (std::size_t at = text.find(terminator, std::max<std::size_t>(middle, 1));
         at != std::string_view::npos && at < limit; at = text.find(terminator, at + 1)) {
        const std::size_t cut = at + 1;
        if (cut >= text.size() || !plain(text[at - 1]) || !plain(text[cut]))
            continue;
        std::size_t next = cut;
        while (next < text.size() && isAsciiWhiteSpace(static_cast<unsigned char>(text[next])))
            ++next;
        if (text.substr(next, 3) != "ISA")
            return cut;
    }
    return std::string_view::npos;
}

/// Where a split in halves would cut the text, if it can give the one-pass split's result: a
/// large text, two cores, a one-byte ASCII terminator other than the element separator, and a
/// first half of plain ASCII (so the second starts at a character offset equal to its byte
/// offset) past the lines that end at line breaks.
std::optional<std::size_t> halvingCut(std::string_view text, const X12Delimiters &delimiters,
                                      std::size_t linesEnd)
{
    const std::string_view terminator = delimiters.segment;
    if (text.size() < halvesMinimum.load() || text.size() < 2 || !hasSecondCore() ||
        terminator.size() != 1 || static_cast<unsigned char>(terminator.front()) >= 0x80 ||
        terminator == delimiters.element)
        return std::nullopt;
    const std::size_t cut = cutNear(text, text.size() / 2, terminator.front());
    if (cut == std::string_view::npos || cut <= linesEnd || !isPlainAscii(text.substr(0, cut)))
        return std::nullopt;
    return cut;
}

/// The split of a large text on two cores: the second half from `cut` on a worker, the first
/// here. Taken only when its result is the one-pass split's: the first half declares no other
/// delimiters, and neither half overflows its room; otherwise nothing, and the caller splits in
/// one pass.
std::optional<std::pair<X12SegmentList, SplitStats>>
splitInHalves(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders,
              std::size_t linesEnd, std::size_t cut)
{
    // The worker tells the first half how much room the second takes; the first half's tables
    // are made with that room after their own, and the worker writes the second half there.
    std::promise<SegmentSink::Room> secondRoom;
    std::promise<SegmentSink *> firstSink; // once its tables have room for both halves
    std::optional<SegmentSink> second;
    std::optional<SegmentSink> first;
    std::exception_ptr failure; // of the worker, such as running out of memory
    bool delimitersChange = false;
    {
        std::jthread worker = besideThisThread([&] {
            try {
                secondRoom.set_value(SegmentSink::roomFor(text.substr(cut), delimiters));
                // On this thread's stack while it cuts: its counts change at every segment,
                // and beside the first sink's they slowed both threads down.
                SegmentSink sink(text, delimiters, followsHeaders, *firstSink.get_future().get());
                scanAll(text, sink, ScanPoint{cut, cut});
                second.emplace(std::move(sink)); // its tables and pointers stay put
            } catch (...) {
                failure = std::current_exception();
                try {
                    secondRoom.set_exception(failure); // unless the room was told already
                } catch (const std::future_error &) {
                }
            }
        });
        if (!worker.joinable())
            return std::nullopt; // no second thread to be had: one pass does it
        try {
            SegmentSink::Room room = SegmentSink::roomFor(text.substr(0, cut), delimiters);
            room.segments += countOccurrences(text.substr(0, linesEnd), "\n");
            first.emplace(text, delimiters, followsHeaders, room, secondRoom.get_future().get());
        } catch (...) {
            firstSink.set_exception(std::current_exception()); // the worker waits for it
            throw;
        }
        firstSink.set_value(&*first);
        const ScanPoint start = scanLines(text, linesEnd, *first);
        const std::optional<ScanPoint> restart =
            start.byte < linesEnd ? start
                                  : scanSegments(text.substr(0, cut), delimiters.element,
                                                 delimiters.segment, *first, start);
        delimitersChange = restart || !first->table().laterDelimiters.empty();
    }
    if (failure)
        std::rethrow_exception(failure);
    // A header in the first half that changes the delimiters; either half with more segments
    // than its room, which a header in the second half that changes them can give.
    if (delimitersChange || first->overflowed() || second->overflowed())
        return std::nullopt;
    first->append(std::move(*second));
    SplitStats stats = first->stats();
    return std::pair{first->finish(), stats};
}

} // namespace

std::pair<X12SegmentList, SplitStats> split(std::string_view text, const X12Delimiters &delimiters,
                                            bool followsHeaders, std::size_t linesEnd)
{
    if (const std::optional<std::size_t> cut = halvingCut(text, delimiters, linesEnd)) {
        if (auto halves = splitInHalves(text, delimiters, followsHeaders, linesEnd, *cut))
            return std::move(*halves);
    }
    SegmentSink sink(text, delimiters, followsHeaders);
    scanAll(text, sink, scanLines(text, linesEnd, sink));
    SplitStats stats = sink.stats();
    return {sink.finish(), stats};
}

} // namespace kelvane::detail
