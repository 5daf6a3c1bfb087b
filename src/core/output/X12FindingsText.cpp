#include "core/output/X12FindingsText.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"
#include "core/support/OrderedBlocks_p.h"
#include "core/text/VisibleText.h"

#include <atomic>
#include <string>

namespace X12FindingsText {

namespace {

void appendLine(std::string &text, const X12Document &document, std::uint32_t position,
                std::string_view loop, std::string_view severity, std::string_view message)
{
    text += "segment ";
    text += std::to_string(position);
    text += " (";
    VisibleText::append(text, X12Dictionary::quotedTag(document.segment(position - 1).tag()));
    text += ")";
    if (!loop.empty()) {
        text += " loop ";
        text += loop;
    }
    text += ": ";
    text += severity;
    text += ": ";
    VisibleText::append(text, message);
    text += '\n';
}

/// The note about a set that names a health-care guide Kelvane does not know.
std::string uncheckedNote(const X12UncheckedSet &set)
{
    const std::string name = set.set.empty() ? std::string("set") : std::string(set.set);
    if (set.version.empty())
        return "The " + name +
               " names no implementation guide (ST03, GS08): it is not checked against one";
    return "Kelvane has no " + name + " guide " + std::string(set.version) +
           ": the set is not checked against a guide";
}

} // namespace

std::size_t write(const X12Document &document, const X12GuideLoops &checked,
                  const std::function<bool(std::string_view)> &sink)
{
    const std::span<const X12GuideFinding> guideFindings = checked.findings();
    const X12Dictionary::ReportedFindings findings(document);
    const std::size_t total = findings.size() + guideFindings.size();
    std::atomic<std::size_t> errors = 0;
    const bool written = kelvane::detail::renderInOrder<std::string>(
        total, 4096,
        [&](std::size_t begin, std::size_t end, std::string &text) {
            std::size_t blockErrors = 0;
            for (std::size_t i = begin; i < end; ++i) {
                if (i < findings.size()) {
                    const X12Finding finding = findings[i];
                    blockErrors += finding.severity == X12Finding::Severity::error;
                    appendLine(text, document, finding.position, {}, toString(finding.severity),
                               finding.message);
                } else {
                    const X12GuideFinding &finding = guideFindings[i - findings.size()];
                    blockErrors += finding.severity == X12Finding::Severity::error;
                    appendLine(text, document, finding.position, finding.loop,
                               toString(finding.severity), finding.message);
                }
            }
            errors += blockErrors;
        },
        sink);
    if (!written)
        return total;
    std::string notes;
    for (const X12UncheckedSet &set : checked.uncheckedSets()) {
        notes.clear();
        appendLine(notes, document, set.position, {}, "note", uncheckedNote(set));
        if (!sink(notes))
            return total;
    }
    if (total == 0) {
        sink("No findings.\n");
    } else {
        const std::size_t warnings = total - errors;
        sink(std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
             std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n"));
    }
    return total;
}

} // namespace X12FindingsText
