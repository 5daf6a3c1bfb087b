// Fuzz target: delimiter detection and the split, on decoded text. Whatever the header holds, each
// delimiter is at most one character and the segments cover the text in order.

#include "FuzzCheck.h"

#include "core/text/TextFile.h"
#include "core/parse/X12Parser.h"

#include <cstddef>
#include <cstdint>
#include <string>

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    auto text = TextFile::decode(std::string(reinterpret_cast<const char *>(data), size),
                                 TextFile::Decoding::utf8OrLatin1, "fuzz.edi");
    check(text.has_value(), "lenient decoding always succeeds");

    const X12Delimiters detected = X12Parser::detectDelimiters(*text);
    for (const std::string *delimiter :
         {&detected.element, &detected.component, &detected.repetition, &detected.segment}) {
        check(reference::isUtf8(*delimiter), "delimiters are UTF-8");
        check(text->find(*delimiter) != std::string::npos || delimiter->size() <= 1,
              "a multi-byte delimiter comes from the text");
    }

    const auto [delimiters, segments] = X12Parser::splitWithBestDelimiters(*text);
    const X12Tree tree = X12Parser::buildTree(segments);
    check(tree.size() == segments.size(), "one node per segment");
    std::ptrdiff_t previous = -1;
    for (const X12Segment segment : segments) {
        check(reference::isUtf8(segment.raw()) && reference::isUtf8(segment.tag()),
              "segments are UTF-8");
        // Cut anew at a later header or not, segments follow each other through the text.
        check(segment.offset() > previous, "offsets increase");
        previous = segment.offset();
    }
    return 0;
}
