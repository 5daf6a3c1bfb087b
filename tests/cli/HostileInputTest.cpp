// Every hostile input through every command-line mode: a document or "error: " with the right
// status, within the time limit, in memory in proportion to the file, and nothing of the user's
// lost or left half-written.

#include "common/HostileInputs.h"
#include "cli/CliTest.h"
#include "common/Process.h"
#include "common/TextReference.h"
#include "core/output/X12Csv.h"
#include "common/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using files::listing;
using files::slurp;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

// An answer later than this is a hang. The sanitizers slow everything down several times.
constexpr std::chrono::seconds answerLimit(sanitized ? 120 : 10);
constexpr std::size_t bigSize = 50u << 20;

class HostileInputTest : public CliTest
{
protected:
    /// Runs kelvane; standard output is kept when it is small, or thrown away (`keepOutput`).
    Outcome run(const std::vector<std::string> &arguments, std::size_t inputSize,
                bool keepOutput = true, const fs::path &out = {})
    {
        const std::string outPath = !out.empty() ? out.string() : keepOutput ? "" : "/dev/null";
        const Outcome outcome = CliTest::run(arguments, outPath, {}, answerLimit);
        EXPECT_FALSE(outcome.result.hung) << "no answer within " << answerLimit.count() << " s";
        if (!sanitized) {
            // What a run of `kelvane --version` from here peaks at (a child starts out with a copy
            // of this process), and then the document: a few times the file.
            static const long baseline =
                process::run(KELVANE_EXECUTABLE, {"--version"}, "/dev/null", "/dev/null")
                    .peakKilobytes;
            EXPECT_LE(outcome.result.peakKilobytes,
                      baseline + long(64 * 1024 + 6 * inputSize / 1024))
                << "peak memory for a file of " << inputSize << " bytes";
        }
        return outcome;
    }

    struct Written
    {
        hostile::Input input; // without its bytes
        fs::path path;
        std::size_t size;
    };

    /// Writes every input to a file and lets go of the bytes, so that the children started from
    /// here do not begin with a copy of them.
    std::vector<Written> writeAll(std::vector<hostile::Input> inputs)
    {
        std::vector<Written> written;
        for (hostile::Input &input : inputs) {
            const fs::path path = write(input.name, input.bytes);
            const std::size_t size = input.bytes.size();
            std::string().swap(input.bytes); // assigning an empty string would keep the capacity
            written.push_back({std::move(input), path, size});
        }
        inputs.clear();
        ::malloc_trim(0);
        return written;
    }
};

/// The message of a file that is not UTF-8 (or UTF-16), up to its detail.
std::string notUtf8(const fs::path &path)
{
    return "error: \u201C" + path.string() + "\u201D is not valid UTF-";
}

/// Text a terminal can be given: valid UTF-8 without control characters but line feeds.
bool printable(const std::string &text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && reference::controlAt(text, i) != 0)
            return false;
    }
    return reference::isUtf8(text);
}

TEST_F(HostileInputTest, TreeJsonAndCheck)
{
    const std::string claim = hostile::isaHeader + hostile::claimBody;
    const std::string plainTree = run({"--dump-tree", write("plain.x12", claim)}, claim.size()).out;
    // Inputs that differ from the plain claim only in how it is written.
    const std::set<std::string> sameTree{"utf16.x12", "empty-segments.x12", "multibyte.x12",
                                         "combining.x12"};
    for (const auto &[input, path, size] : writeAll(hostile::catalogue(bigSize))) {
        SCOPED_TRACE(input.name);
        const bool small = size < (4u << 20);

        // A file that cannot be read: status 1, its message, nothing on standard output.
        const auto refused = [&input](const Outcome &outcome) {
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err, "error: " + input.error + "\n");
            EXPECT_EQ(outcome.out, "");
        };

        const Outcome tree = run({"--dump-tree", path.string()}, size, small);
        if (!input.error.empty()) {
            refused(tree);
        } else if (!input.strictError.empty()) {
            EXPECT_EQ(tree.status, 1);
            EXPECT_TRUE(tree.err.starts_with(notUtf8(path))) << tree.err;
            EXPECT_NE(tree.err.find(input.strictError), std::string::npos) << tree.err;
            EXPECT_EQ(tree.out, "");
        } else {
            EXPECT_EQ(tree.status, 0);
            EXPECT_EQ(tree.err, "");
            EXPECT_TRUE(!small || !tree.out.empty());
            if (sameTree.contains(input.name)) {
                EXPECT_EQ(tree.out, plainTree);
            }
            if (input.name == "joined-with-marks.x12") {
                EXPECT_EQ(tree.out, plainTree + plainTree);
            }
            // One line per node, whatever the values hold.
            EXPECT_TRUE(printable(tree.out));
            if (input.name == "controls.x12") {
                EXPECT_EQ(std::count(tree.out.begin(), tree.out.end(), '\n'),
                          std::count(plainTree.begin(), plainTree.end(), '\n'));
            }
        }

        // JSON and CSV: whole, and valid UTF-8 whatever the file held.
        for (const auto &[mode, head, tail] :
             {std::tuple<std::string, std::string, std::string>{
                  "--dump-json", "{\"fileName\":\"" + input.name + "\",", "]}\n"},
              {"--dump-csv", std::string(X12Csv::headerRow), "\r\n"}}) {
            SCOPED_TRACE(mode);
            const Outcome outcome = run({mode, path.string()}, size, small);
            if (!input.error.empty()) {
                refused(outcome);
                continue;
            }
            EXPECT_EQ(outcome.status, 0);
            EXPECT_EQ(outcome.err, "");
            if (small) {
                EXPECT_TRUE(outcome.out.starts_with(head));
                EXPECT_TRUE(outcome.out.ends_with(tail));
                EXPECT_TRUE(reference::isUtf8(outcome.out));
            }
        }

        const Outcome check = run({"--check", path.string()}, size, small);
        if (!input.error.empty()) {
            refused(check);
        } else {
            EXPECT_TRUE(check.status == 0 || check.status == 3) << check.status;
            EXPECT_EQ(check.err, "");
            EXPECT_TRUE(printable(check.out));
            if (input.name == "joined-with-marks.x12") {
                EXPECT_EQ(run({"--check", "--envelope-only", path.string()}, size, small).out,
                          "No findings.\n");
            }
        }
        fs::remove(path);
    }
}

TEST_F(HostileInputTest, PdfExport)
{
    const fs::path report = m_dir / "report.pdf";
    // A report lists every element on its own line: the big entries' millions of elements would
    // make tens of thousands of pages, so they are exported at 1 MB (about 2,000 pages). The
    // sanitizers lay pages out some twenty times slower, so there it is 64 KB.
    const std::vector<Written> written =
        writeAll(sanitized ? hostile::catalogue(64u << 10, 100) : hostile::catalogue(1u << 20));
    for (const auto &[input, path, size] : written) {
        SCOPED_TRACE(input.name);
        const std::string previous = "%PDF-1.4 the user's previous report";
        std::ofstream(report, std::ios::binary) << previous;

        const Outcome outcome = run({"--export-pdf", path.string(), report.string()}, size);
        if (!input.error.empty()) {
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err, "error: " + input.error + "\n");
            EXPECT_EQ(slurp(report), previous);
        } else {
            EXPECT_EQ(outcome.status, 0);
            // Texts over a megabyte are cut in the report, which says so.
            if (!outcome.err.empty()) {
                EXPECT_TRUE(outcome.err.starts_with("warning: ")) << outcome.err;
            }
            EXPECT_EQ(outcome.out.substr(outcome.out.find('\n') + 1),
                      "Wrote " + report.string() + "\n");
            const std::string pdf = slurp(report);
            EXPECT_TRUE(pdf.starts_with("%PDF-"));
            EXPECT_NE(pdf.find("%%EOF", pdf.size() - 16), std::string::npos);
        }
        // Nothing half-written is left beside the report.
        std::set<std::string> expected{"report.pdf", "stderr", "stdout"};
        for (const Written &file : written)
            expected.insert(file.path.filename().string());
        EXPECT_EQ(listing(m_dir), expected);
    }
}

TEST_F(HostileInputTest, FilesThatCannotBeRead)
{
    const fs::path missing = m_dir / "missing.x12";
    fs::create_directory(m_dir / "folder.x12");
    // Root reads any file whatever its mode; the kernel's memory file fails to read even for root.
    fs::path unreadable = "/proc/self/mem";
    std::string unreadableReason = "Input/output error";
    if (::geteuid() != 0) {
        unreadable = m_dir / "locked.x12";
        std::ofstream(unreadable) << hostile::isaHeader;
        fs::permissions(unreadable, fs::perms::none);
        unreadableReason = "Permission denied";
    }
    const std::vector<std::pair<fs::path, std::string>> cases{
        {missing,
         "error: cannot open \u201C" + missing.string() + "\u201D: No such file or directory\n"},
        {m_dir / "folder.x12",
         "error: \u201C" + (m_dir / "folder.x12").string() + "\u201D is a directory, not a file\n"},
        {unreadable,
         (::geteuid() == 0 ? "error: cannot read \u201C" : "error: cannot open \u201C") +
             unreadable.string() + "\u201D: " + unreadableReason + "\n"},
        // Refused at once, not read until a size limit.
        {"/dev/zero", "error: \u201C/dev/zero\u201D: is a device, not a file\n"},
    };
    for (const auto &[path, message] : cases) {
        SCOPED_TRACE(path.string());
        for (const char *mode :
             {"--dump-tree", "--dump-json", "--dump-csv", "--export-pdf", "--check"}) {
            const Outcome outcome = run({mode, path.string()}, 0);
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.out, "");
            EXPECT_EQ(outcome.err, message);
        }
    }
}

TEST_F(HostileInputTest, RunOutOfMemoryNamesTheLimitAndGoesOn)
{
    if (sanitized)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
    // A gigabyte of NULs, sparse on disk, cannot be held within half a gigabyte.
    std::ofstream(m_dir / "huge.x12").close();
    fs::resize_file(m_dir / "huge.x12", std::uintmax_t(1) << 30);
    write("claim.x12", hostile::isaHeader + hostile::claimBody);
    const process::Result result = process::run(
        "/bin/sh",
        {"-c", "ulimit -v 524288 && exec \"$0\" --check --envelope-only huge.x12 claim.x12",
         KELVANE_EXECUTABLE},
        m_dir / "stdout", m_dir / "stderr", m_dir, answerLimit);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(slurp(m_dir / "stdout"), "==> huge.x12 <==\n\n==> claim.x12 <==\nNo findings.\n");
    EXPECT_EQ(slurp(m_dir / "stderr"),
              "error: \u201Chuge.x12\u201D: not enough memory to open this file within this "
              "process's limit of 512 MiB (ulimit -v)\n");
}

TEST_F(HostileInputTest, DestinationsThatCannotBeWritten)
{
    const fs::path input = write("claim.x12", hostile::isaHeader + hostile::claimBody);
    // Root writes into any folder whatever its mode; /proc refuses new files even to root.
    fs::path readOnly = "/proc";
    if (::geteuid() != 0) {
        readOnly = m_dir / "locked";
        fs::create_directory(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    }
    fs::create_directory(m_dir / "folder.pdf");
    // Each names the whole destination, then why.
    const std::vector<std::pair<fs::path, std::string>> cases{
        {"", "\u201C\u201D: no file name was given."},
        {m_dir / "missing" / "report.pdf",
         "\u201C" + (m_dir / "missing" / "report.pdf").string() + "\u201D: the folder \u201C" +
             (m_dir / "missing").string() + "\u201D does not exist."},
        {readOnly / "report.pdf",
         "\u201C" + (readOnly / "report.pdf").string() +
             "\u201D: " + (::geteuid() == 0 ? "No such file or directory." : "Permission denied.")},
        {m_dir / "folder.pdf",
         "\u201C" + (m_dir / "folder.pdf").string() + "\u201D: Is a directory."},
        {m_dir / "new" / "", "\u201C" + (m_dir / "new").string() + "/\u201D: Is a directory."},
    };
    for (const auto &[report, reason] : cases) {
        SCOPED_TRACE(report.string());
        const Outcome outcome = run({"--export-pdf", input.string(), report.string()}, 0);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "error: Could not create the PDF context. " + reason + "\n");
        EXPECT_FALSE(fs::is_regular_file(report));
    }
    EXPECT_TRUE(fs::is_empty(m_dir / "folder.pdf"));

    // A full disk, where the report is written straight to the device.
    const Outcome full = run({"--export-pdf", input.string(), "/dev/full"}, 0);
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(
        full.err,
        "error: Could not write the PDF file \u201C/dev/full\u201D: No space left on device.\n");

    // A full disk as standard output.
    for (const char *mode : {"--dump-tree", "--dump-json", "--dump-csv", "--check"}) {
        SCOPED_TRACE(mode);
        const Outcome outcome = run({mode, input.string()}, 0, true, "/dev/full");
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "error: cannot write to standard output: No space left on device\n");
    }
}

} // namespace
