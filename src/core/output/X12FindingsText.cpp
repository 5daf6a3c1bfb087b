#include "core/output/X12FindingsText.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"
#include "core/support/OrderedBlocks_p.h"
#include "core/text/VisibleText.h"

#include <atomic>
#include <string>

namespace X12FindingsText {

std::size_t write(const X12Document &document, const std::function<bool(std::string_view)> &sink)
{
    const X12Dictionary::ReportedFindings findings(document);
    std::atomic<std::size_t> errors = 0;
    const bool written = kelvane::detail::renderInOrder<std::string>(
        findings.size(), 4096,
        [&document, &findings, &errors](std::size_t begin, std::size_t end, std::string &text) {
            std::size_t blockErrors = 0;
            for (std::size_t i = begin; i < end; ++i) {
                const X12Finding finding = findings[i];
                blockErrors += finding.severity == X12Finding::Severity::error;
                text += "segment ";
                text += std::to_string(finding.position);
                text += " (";
                VisibleText::append(
                    text, X12Dictionary::quotedTag(document.segment(finding.position - 1).tag()));
                text += "): ";
                text += toString(finding.severity);
                text += ": ";
                VisibleText::append(text, finding.message);
                text += '\n';
            }
            errors += blockErrors;
        },
        sink);
    if (!written)
        return findings.size();
    if (findings.size() == 0) {
        sink("No findings.\n");
    } else {
        const std::size_t warnings = findings.size() - errors;
        sink(std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
             std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n"));
    }
    return findings.size();
}

} // namespace X12FindingsText
