// --ack999: the 999 acknowledgment of a file, back to its sender.

#include "cli/CommandLine_p.h"
#include "cli/InputFiles.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"
#include "core/output/OutputSink.h"
#include "core/output/X12Ack999.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <tuple>

namespace CommandLine::detail {
namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

/// A date written CCYYMMDD that the calendar has.
bool isDate(std::string_view text)
{
    using namespace std::chrono;
    return text.size() == 8 && allDigits(text) &&
           year_month_day(year(number(text.substr(0, 4))),
                          month(unsigned(number(text.substr(4, 2)))),
                          day(unsigned(number(text.substr(6, 2)))))
               .ok();
}

bool isTime(std::string_view text)
{
    return text.size() == 4 && allDigits(text) && number(text.substr(0, 2)) < 24 &&
           number(text.substr(2, 2)) < 60;
}

/// The date and time now, in UTC, as CCYYMMDD and HHMM.
std::pair<std::string, std::string> now()
{
    using namespace std::chrono;
    const auto time = system_clock::now();
    const auto today = floor<days>(time);
    const year_month_day date(today);
    const hh_mm_ss clock(floor<minutes>(time - today));
    char dateText[32];
    char timeText[32];
    std::snprintf(dateText, sizeof dateText, "%04d%02u%02u", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()));
    std::snprintf(timeText, sizeof timeText, "%02d%02d", int(clock.hours().count()),
                  int(clock.minutes().count()));
    return {dateText, timeText};
}

/// The value given after `option`, if the option is given; an option without one gives an empty
/// value.
std::optional<std::string_view> valueOf(std::span<const std::string_view> arguments,
                                        std::string_view option)
{
    const auto found = std::ranges::find(arguments, option);
    if (found == arguments.end())
        return std::nullopt;
    return found + 1 == arguments.end() ? std::string_view() : *(found + 1);
}

/// The options, or the message of the first that is wrong.
std::expected<X12Ack999::Options, std::string> options(std::span<const std::string_view> arguments)
{
    X12Ack999::Options options;
    std::tie(options.date, options.time) = now();
    if (const auto date = valueOf(arguments, "--date")) {
        if (!isDate(*date))
            return std::unexpected("--date takes a date written CCYYMMDD");
        options.date = *date;
    }
    if (const auto time = valueOf(arguments, "--time")) {
        if (!isTime(*time))
            return std::unexpected("--time takes a time written HHMM");
        options.time = *time;
    }
    if (const auto control = valueOf(arguments, "--control-number")) {
        if (!allDigits(*control) || control->size() > 9 || number(*control) == 0)
            return std::unexpected("--control-number takes a number from 1 to 999999999");
        options.controlNumber = std::uint32_t(number(*control));
    }
    return options;
}

} // namespace

int ack999(const Invocation &invocation)
{
    const Operands operands = operandsAfter(invocation.arguments, invocation.option, false);
    if (operands.unknown)
        return unknownOption(invocation.errFd, *operands.unknown, invocation.usage);
    if (operands.files.size() != 1)
        return usage(invocation.errFd, invocation.usage);
    const auto chosen = options(invocation.arguments);
    if (!chosen)
        return usage(invocation.errFd,
                     "error: " + chosen.error() + "\n" + std::string(invocation.usage));
    const std::string_view path = operands.files.front();
    const auto document = load(path, TextFile::Decoding::utf8OrLatin1, invocation.errFd);
    if (!document)
        return document.error();
    const X12GuideLoops loops = X12GuideLoops::checked(**document);
    // A check cut short leaves sets unchecked, which an acknowledgment would accept.
    if (loops.findings().size() > X12GuideLoops::findingLimit)
        return fail(invocation.errFd,
                    "\u201C" + std::string(shownPath(path)) + "\u201D has more than " +
                        std::to_string(X12GuideLoops::findingLimit) +
                        " findings: too many to acknowledge (kelvane --check lists them)");
    OutputSink out(invocation.outFd);
    if (X12Ack999::write(**document, loops, *chosen, std::ref(out)) == 0)
        return fail(invocation.errFd, "\u201C" + std::string(shownPath(path)) +
                                          "\u201D holds no interchange to acknowledge");
    return finishOutput(out, invocation.errFd);
}

} // namespace CommandLine::detail
