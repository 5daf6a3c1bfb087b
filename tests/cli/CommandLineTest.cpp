#include "cli/CommandLine.h"
#include "cli/CliTest.h"
#include "common/Process.h"
#include "common/ScopedEnvironment.h"
#include "common/Files.h"
#include "core/Version.h"
#include "core/TestSupport.h"

#include <QtGlobal>

#include <unicode/uversion.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using files::listing;
using files::slurp;
using testing_support::smallClaim;

class CommandLineTest : public CliTest
{
protected:
    /// A command line and all it must give, run in the scratch folder.
    struct Case
    {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    };
    void expectEach(const std::vector<Case> &cases)
    {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
            const Outcome outcome = run(c.arguments, {}, m_dir);
            EXPECT_EQ(outcome.status, c.status);
            EXPECT_EQ(outcome.out, c.out);
            EXPECT_EQ(outcome.err, c.err);
        }
    }
};

/// The claim with one finding: GE02 does not match GS06.
const std::string brokenClaim = [] {
    std::string text = smallClaim;
    return text.replace(text.find("GE*1*1"), 6, "GE*1*9");
}();

TEST_F(CommandLineTest, OneModeRunsWhateverTheOrder)
{
    // --dump-tree before --export-pdf before --dump-json before --check; whatever follows a mode
    // is its path, even an option.
    write("first.x12", "NM1*85~");
    write("second.x12", "NM1*85~N4*B~");
    write("n3.x12", "N3*A~");
    write("n4.x12", "N4*B~");
    write("latin1.x12", "NM1*IL*1*M\xDCLLER~");
    const std::string n4 = "N4 \u2014 Geographic Location  \u2014 B,  \n";
    expectEach({
        // A node without a subtitle has no dash; N4 keeps its separators when elements are missing.
        {{"--export-pdf", "first.x12", "--dump-tree", "second.x12", "--dump-tree", "first.x12"},
         0,
         "Billing Provider\n  " + n4,
         ""},
        {{"--dump-tree", "--help"},
         1,
         "",
         "error: cannot open \u201C--help\u201D: No such file or directory\n"},
        {{"--dump-json", "latin1.x12", "--dump-tree", "n3.x12"},
         0,
         "N3 \u2014 Party Address  \u2014 A\n",
         ""},
        {{"--dump-json", "latin1.x12", "--export-pdf"},
         2,
         "",
         "usage: Kelvane --export-pdf <input> [output.pdf]\n"},
        {{"--check", "n3.x12", "--dump-tree", "n4.x12"}, 0, n4, ""},
    });
    EXPECT_FALSE(fs::exists(m_dir / "first.pdf"));
}

TEST_F(CommandLineTest, NoModeRequested)
{
    const std::vector<std::vector<std::string_view>> cases{
        {},
        {"kelvane"},
        {"kelvane", "--dump-tree"},
        {"kelvane", "claims.x12", "--verbose"},
    };
    for (const auto &arguments : cases)
        EXPECT_EQ(CommandLine::run(arguments, -1, -1), std::nullopt);
}

TEST_F(CommandLineTest, ClosedPipeEndsQuietly)
{
    std::string big;
    while (big.size() < 1024 * 1024)
        big += "NM1*85*2*ACME CLINIC~N3*12 MAIN ST~";
    const std::string file = write("big.x12", big);
    const std::string command = std::string("'") + KELVANE_EXECUTABLE + "' --dump-tree '" + file +
                                "' 2>'" + (m_dir / "err").string() + "' | head -n 1";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    EXPECT_EQ(std::string(line), "Billing Provider: ACME CLINIC\n");
    ::pclose(pipe);
    EXPECT_EQ(slurp(m_dir / "err"), "");
}

TEST_F(CommandLineTest, ExportWritesTheReportBesideTheInput)
{
    // Only the last extension is replaced.
    write("claims.edi.txt", smallClaim);
    const Outcome outcome = run({"--export-pdf", "-v", "claims.edi.txt"}, {}, m_dir);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out, "10 segments \u00B7 transaction set 837\nWrote " +
                               (m_dir / "claims.edi.pdf").string() + "\n");
    EXPECT_TRUE(fs::exists(m_dir / "claims.edi.pdf"));

    // An output operand is used as given; operands after it are ignored.
    const Outcome named =
        run({"--export-pdf", "claims.edi.txt", "report.data", "third"}, {}, m_dir);
    EXPECT_EQ(named.status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "report.data"));
    EXPECT_FALSE(fs::exists(m_dir / "third"));
}

TEST_F(CommandLineTest, HelpAndVersion)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: kelvane [FILE]\n")) << help.out;
    EXPECT_EQ(help.err, "");
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    // One line a bug report can quote: Kelvane's version, then the Qt and ICU loaded at run time.
    UVersionInfo icu;
    u_getVersion(icu);
    char icuText[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(icu, icuText);
    EXPECT_EQ(version.out, "Kelvane " + std::string(kelvane::versionString) + " (Qt " + qVersion() +
                               ", ICU " + icuText + ")\n");
}

/// A claim whose report takes long enough to interrupt, or to show progress: a thousand pages
/// for 3,000 providers.
std::string longClaim(int providers)
{
    std::string text = smallClaim.substr(0, smallClaim.find("NM1*85"));
    for (int i = 0; i < providers; ++i)
        text += "NM1*85*2*ACME CLINIC*****XX*1234567890~\nN3*12 MAIN ST~\n";
    return text + "SE*6*0001~\nGE*1*1~\nIEA*1*000000001~\n";
}

TEST_F(CommandLineTest, Ack999IsWhatCheckPasses)
{
    const std::string oxygen = testing_support::dataPath("837p-X222-oxygen.edi");
    const std::string usage = "usage: Kelvane --ack999 [--date CCYYMMDD] [--time HHMM] "
                              "[--control-number N] <file>\n";
    write("n3.x12", "N3*A~");
    expectEach({
        {{"--ack999", oxygen, "--date", "20240501", "--time", "0930", "--control-number", "12"},
         0,
         "ISA*00*          *00*          *ZZ*123456789012346*ZZ*123456789012345*240501*0930*>*"
         "00501*000000012*0*T*:~GS*FA*9876543210*1234567890*20240501*0930*12*X*005010X231A1~"
         "ST*999*0001*005010X231A1~AK1*HC*20213*005010X222A1~AK2*837*0001*005010X222A1~"
         "IK3*PWK*22*2400*8~IK4*2**7*AD~IK3*PWK*45*2400*8~IK4*2**7*AD~IK5*R*5~AK9*R*1*1*0~"
         "SE*10*0001~GE*1*12~IEA*1*000000012~",
         ""},
        {{"--ack999", "--date", "20240230", oxygen},
         2,
         "",
         "error: --date takes a date written CCYYMMDD\n" + usage},
        {{"--ack999", "--control-number", "0", oxygen},
         2,
         "",
         "error: --control-number takes a number from 1 to 999999999\n" + usage},
        {{"--ack999", oxygen, "n3.x12"}, 2, "", usage},
        {{"--ack999", "n3.x12"},
         1,
         "",
         "error: \u201Cn3.x12\u201D holds no interchange to acknowledge\n"},
    });
    // Without --date and --time it is dated now; the acknowledgment checks clean either way.
    const std::string ack = (m_dir / "oxygen.999").string();
    EXPECT_EQ(run({"--ack999", oxygen}, ack, m_dir).status, 0);
    const Outcome check = run({"--check", ack}, {}, m_dir);
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "No findings.\n");
}

TEST_F(CommandLineTest, ExportNeverReplacesWhatItMustNot)
{
    // kelvane --export-pdf *.edi, in a folder of a.edi and b.edi.
    write("a.edi", smallClaim);
    const std::string b = write("b.edi", "ST*850*1~SE*2*1~");
    const Outcome glob = run({"--export-pdf", "a.edi", "b.edi"}, {}, m_dir);
    EXPECT_EQ(glob.status, 1);
    EXPECT_EQ(glob.out, "");
    EXPECT_EQ(glob.err, "error: \u201Cb.edi\u201D already exists and is not a PDF report; give "
                        "another output path\n");
    EXPECT_EQ(slurp(b), "ST*850*1~SE*2*1~");

    // An earlier report is replaced, and so is an empty file.
    for (const std::string name : {"earlier.pdf", "empty.pdf"}) {
        SCOPED_TRACE(name);
        write(name, name == "empty.pdf" ? "" : "%PDF-1.4 earlier");
        const Outcome outcome = run({"--export-pdf", "a.edi", name}, {}, m_dir);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        const std::string pdf = slurp(m_dir / name);
        EXPECT_TRUE(pdf.starts_with("%PDF-1.")) << pdf.substr(0, 20);
        EXPECT_NE(pdf, "%PDF-1.4 earlier");
    }

    // The report would replace its own input: by the name it is given from the input, or by
    // another name for it, whatever the spelling: a hard link, a symbolic link, a path through
    // "..".
    write("claims.pdf", smallClaim);
    const Outcome itself = run({"--export-pdf", (m_dir / "claims.pdf").string()});
    EXPECT_EQ(itself.status, 1);
    EXPECT_EQ(itself.out, "");
    EXPECT_EQ(itself.err, "error: the output \u201C" + (m_dir / "claims.pdf").string() +
                              "\u201D is the input file; give another output path\n");
    EXPECT_EQ(slurp(m_dir / "claims.pdf"), smallClaim);
    fs::create_hard_link(m_dir / "a.edi", m_dir / "hard.pdf");
    fs::create_symlink(m_dir / "a.edi", m_dir / "soft.pdf");
    fs::create_directory(m_dir / "sub");
    for (const std::string name : {"hard.pdf", "soft.pdf", "sub/../a.edi"}) {
        SCOPED_TRACE(name);
        const Outcome outcome = run({"--export-pdf", "a.edi", name}, {}, m_dir);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "error: the output \u201C" + name +
                                   "\u201D is the input file; give another output path\n");
        EXPECT_EQ(slurp(m_dir / "a.edi"), smallClaim);
    }

    EXPECT_EQ(run({"--export-pdf", "missing.txt"}, {}, m_dir).status, 1);
    EXPECT_FALSE(fs::exists(m_dir / "missing.pdf"));
}

TEST_F(CommandLineTest, PathsAreUsedByteForByte)
{
    // A name that is not UTF-8: the report goes beside it under the same bytes, never onto what
    // a re-encoding of the name would give. "Wrote" shows the stray byte as U+FFFD.
    write("claims\xFF.edi", smallClaim);
    const std::string lookalike = write("claims\xEF\xBF\xBD.pdf", "%PDF-1.4 someone else's");
    const Outcome outcome = run({"--export-pdf", "claims\xFF.edi"}, {}, m_dir);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "10 segments \u00B7 transaction set 837\nWrote " + m_dir.string() +
                               "/claims\uFFFD.pdf\n");
    EXPECT_TRUE(slurp(m_dir / "claims\xFF.pdf").starts_with("%PDF-1."));
    EXPECT_EQ(slurp(lookalike), "%PDF-1.4 someone else's");
    EXPECT_EQ(slurp(m_dir / "claims\xFF.edi"), smallClaim);

    // "Wrote" names the folder the report is in: through a link to a folder, ".." is the parent
    // of the folder linked to.
    fs::create_directories(m_dir / "real" / "inner");
    fs::create_directory_symlink(m_dir / "real" / "inner", m_dir / "link");
    const Outcome linked = run({"--export-pdf", "claims\xFF.edi", "link/../r.pdf"}, {}, m_dir);
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_EQ(linked.out.substr(linked.out.find('\n') + 1),
              "Wrote " + (m_dir / "real" / "r.pdf").string() + "\n");
    EXPECT_TRUE(fs::is_regular_file(m_dir / "real" / "r.pdf"));
}

TEST_F(CommandLineTest, InterruptedExportLeavesNothingBehind)
{
    const std::string input = write("long.x12", longClaim(12'000));
    const std::string report = write("report.pdf", "%PDF-1.4 the earlier report");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        const int devNull = ::open("/dev/null", O_WRONLY);
        const pid_t child =
            process::start(KELVANE_EXECUTABLE, {"--export-pdf", input, report}, devNull, devNull);
        ::close(devNull);
        ASSERT_GT(child, 0);
        // Well into the pages: reading and parsing take a few milliseconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "the export ended before the signal: " << status;
        EXPECT_EQ(listing(m_dir), (std::set<std::string>{"long.x12", "report.pdf"}));
        EXPECT_EQ(slurp(report), "%PDF-1.4 the earlier report");
    }
}

TEST_F(CommandLineTest, ProgressShowsOnATerminalOnly)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers lay pages out some twenty times slower.
    const std::string input = write("long.x12", longClaim(300));
#else
    const std::string input = write("long.x12", longClaim(3'000));
#endif
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Standard error stays the terminal; the report's lines go to a file.
        const int out = ::open((m_dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const pid_t exporter = process::start(
            KELVANE_EXECUTABLE, {"--export-pdf", input, (m_dir / "r.pdf").string()}, out, 2);
        int status = 0;
        ::waitpid(exporter, &status, 0);
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, std::size_t(got));
    ::close(terminal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(shown.starts_with("\rWriting the report: page ")) << shown.substr(0, 80);
    EXPECT_NE(shown.find("% of segments\r"), std::string::npos) << shown.substr(0, 200);
    // The line is cleared at the end, and nothing else is written there.
    EXPECT_TRUE(shown.ends_with("% of segments\r\x1B[K")) << shown.substr(shown.size() - 60);
    EXPECT_TRUE(slurp(m_dir / "stdout").ends_with("Wrote " + (m_dir / "r.pdf").string() + "\n"));

    // Standard error that is not a terminal gets nothing.
    const Outcome plain = run({"--export-pdf", input, (m_dir / "r.pdf").string()});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
}

TEST_F(CommandLineTest, NonBlockingPipeIsWaitedFor)
{
    // As a Node.js child process: standard output a pipe in non-blocking mode, read slowly.
    const std::string input = write("long.x12", longClaim(12'000));
    const Outcome expected = run({"--dump-json", input});
    ASSERT_EQ(expected.status, 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
    const int err = ::open((m_dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t child = process::start(KELVANE_EXECUTABLE, {"--dump-json", input}, fds[1], err);
    ::close(fds[1]);
    ::close(err);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::string received;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        received.append(buffer, std::size_t(got));
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(slurp(m_dir / "stderr"), "");
    EXPECT_EQ(received.size(), expected.out.size());
    EXPECT_TRUE(received == expected.out);
}

TEST_F(CommandLineTest, ModesWithoutAFileAreUsageErrors)
{
    const std::string pdf = "usage: Kelvane --export-pdf <input> [output.pdf]\n";
    const std::string csv =
        "usage: Kelvane --dump-csv [--spreadsheet] <file> (one file at a time)\n";
    const std::string folder = "usage: Kelvane --export-pdf --output-dir <folder> <input>...\n";
    expectEach({
        {{"--export-pdf"}, 2, "", pdf},
        {{"--export-pdf", "-v", "--quiet"}, 2, "", pdf},
        {{"--dump-json"}, 2, "", "usage: Kelvane --dump-json <file>...\n"},
        {{"--check"}, 2, "", "usage: Kelvane --check [--envelope-only] <file>...\n"},
        {{"--check", "--dump-json"}, 2, "", "usage: Kelvane --dump-json <file>...\n"},
        {{"--dump-csv"}, 2, "", csv},
        {{"--dump-csv", "a.x12", "b.x12"}, 2, "", csv},
        {{"--dump-tree", "--"}, 2, "", "usage: Kelvane --dump-tree <file>...\n"},
        {{"--export-pdf", "--output-dir"}, 2, "", folder},
        {{"--export-pdf", "--output-dir", "out"}, 2, "", folder},
    });
}

TEST_F(CommandLineTest, WithoutADisplayTheWindowSaysWhy)
{
    const std::string file = write("claim.x12", smallClaim);
    ScopedEnvironment environment;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.set(name, nullptr);
    const Outcome none = run({file});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "error: the window cannot start (no display: neither DISPLAY nor "
                        "WAYLAND_DISPLAY is set); without a display, use --dump-tree, "
                        "--dump-json, --check or --export-pdf\n");

    environment.set("DISPLAY", ":98765");
    const Outcome unreachable = run({file});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_EQ(unreachable.err, "error: the window cannot start (could not connect to display "
                               ":98765); without a display, use --dump-tree, --dump-json, "
                               "--check or --export-pdf\n");
}

TEST_F(CommandLineTest, OneFileAloneSeveralEachUnderItsHeader)
{
    std::string twoErrors = smallClaim;
    twoErrors.replace(twoErrors.find("GE*1*1"), 6, "GE*2*9");
    write("clean.x12", smallClaim);
    write("broken.x12", brokenClaim);
    write("two-errors.x12", twoErrors);
    std::string claim = testing_support::validClaim();
    write("claim.x12", claim);
    write("bad-code.x12", claim.replace(claim.find("SBR*P"), 5, "SBR*X"));
    for (std::size_t at; (at = claim.find("004010X098A1")) != std::string::npos;)
        claim.replace(at, 12, "004010X999A1");
    write("unknown-guide.x12", claim);
    write("odd\x1B[2Jname.x12", "N3*A~");
    write("latin1.x12", "N3*M\xDCLLER~");
    fs::create_directory(m_dir / "folder");
    const std::string clean = "==> clean.x12 <==\nNo findings.\n";
    const std::string findings =
        "==> broken.x12 <==\nsegment 9 (GE): error: GE02 9 does not match GS06 1\n"
        "1 error, 0 warnings\n";
    const std::string tree = "N3 \u2014 Party Address  \u2014 A\n";

    expectEach({
        {{"--check", "--envelope-only", "clean.x12"}, 0, "No findings.\n", ""},
        // The sets are checked against their guides too, unless only envelopes are asked for.
        {{"--check", "claim.x12"}, 0, "No findings.\n", ""},
        {{"--check", "bad-code.x12"},
         3,
         "segment 15 (SBR) loop 2000B: error: SBR01 \"X\" is not a code of this guide here; it "
         "takes P, S, T\n1 error, 0 warnings\n",
         ""},
        {{"--check", "--envelope-only", "bad-code.x12"}, 0, "No findings.\n", ""},
        // A set of a guide Kelvane does not know gets a note, which is no finding.
        {{"--check", "unknown-guide.x12"},
         0,
         "segment 3 (ST): note: Kelvane has no 837 guide 004010X999A1: the set is not checked "
         "against a guide\nNo findings.\n",
         ""},
        {{"--check", "two-errors.x12", "--envelope-only"},
         3,
         "segment 9 (GE): error: GE02 9 does not match GS06 1\n"
         "segment 9 (GE): error: GE01 says 2 transaction sets; the group has 1\n"
         "2 errors, 0 warnings\n",
         ""},
        {{"--check", "clean.x12", "broken.x12", "--envelope-only"}, 3, clean + "\n" + findings, ""},
        // A file that cannot be read says so under its header, and the next one follows; a
        // failure outweighs findings. A name cannot drive the terminal from a message either.
        {{"--check", "--envelope-only", "broken.x12", "folder", "gone\x1B[31m.x12", "clean.x12"},
         1,
         findings + "\n==> folder <==\n\n==> gone\u241B[31m.x12 <==\n\n" + clean,
         "error: \u201Cfolder\u201D is a directory, not a file\n"
         "error: cannot open \u201Cgone\u241B[31m.x12\u201D: No such file or directory\n"},
        // The same file twice is printed twice; a name cannot drive the terminal.
        {{"--dump-tree", "odd\x1B[2Jname.x12", "latin1.x12", "odd\x1B[2Jname.x12"},
         1,
         "==> odd\u241B[2Jname.x12 <==\n" + tree + "\n==> latin1.x12 <==\n\n" +
             "==> odd\u241B[2Jname.x12 <==\n" + tree,
         "error: \u201Clatin1.x12\u201D is not valid UTF-8 text (byte 0xDC at offset 4)\n"},
    });
}

TEST_F(CommandLineTest, FileThatIsNotX12IsAnError)
{
    const std::string notX12 = "the file does not look like X12: it has no ISA, GS or ST segment "
                               "and almost none of its segments are known X12 segments";
    // Without a delimiter, 5 MB is one segment: its line quotes 32 bytes of the tag.
    const Outcome check = run({"--check", write("junk.png", std::string(5u << 20, 'X'))});
    EXPECT_EQ(check.status, 3);
    EXPECT_EQ(check.out, "segment 1 (" + std::string(32, 'X') + "\u2026): error: " + notX12 +
                             "\n1 error, 0 warnings\n");
}

TEST_F(CommandLineTest, SeveralFilesAsJsonLines)
{
    write("broken\xFE.x12", brokenClaim);
    write("empty.x12", "");
    // The line is the same document: its line breaks were only between values.
    std::string document = run({"--dump-json", "broken\xFE.x12"}, {}, m_dir).out;
    EXPECT_TRUE(document.starts_with("{\"fileName\":\"broken\uFFFD.x12\",")) << document;
    std::erase(document, '\n');
    document += '\n';

    // A document with findings, and errors; every name that is not UTF-8 is made so.
    const Outcome outcome =
        run({"--dump-json", "broken\xFE.x12", "empty.x12", "gone\xFF.x12", "broken\xFE.x12"}, {},
            m_dir);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, document +
                               "{\"fileName\":\"empty.x12\",\"error\":\"\u201Cempty.x12\u201D: "
                               "The file is empty.\"}\n"
                               "{\"fileName\":\"gone\uFFFD.x12\",\"error\":\"cannot open "
                               "\u201Cgone\uFFFD.x12\u201D: No such file or directory\"}\n" +
                               document);
    EXPECT_EQ(outcome.err, "error: \u201Cempty.x12\u201D: The file is empty.\n"
                           "error: cannot open \u201Cgone\uFFFD.x12\u201D: No such file or "
                           "directory\n");
}

TEST_F(CommandLineTest, ExportSeveralIntoAFolder)
{
    fs::create_directories(m_dir / "a");
    fs::create_directories(m_dir / "b");
    fs::create_directories(m_dir / "out");
    write("a/claims.edi", smallClaim);
    write("b/claims.edi", "ST*850*1~SE*2*1~");
    write("c.edi", smallClaim);
    ASSERT_EQ(run({"--export-pdf", "c.edi", "out/c.pdf"}, {}, m_dir).status, 0);

    // A glob that caught the reports, and two inputs whose reports would share a name.
    const Outcome outcome = run({"--export-pdf", "--output-dir", "out", "a/claims.edi",
                                 "b/claims.edi", "c.edi", "out/c.pdf"},
                                {}, m_dir);
    EXPECT_EQ(outcome.status, 1);
    const std::string summary = "10 segments \u00B7 transaction set 837\nWrote ";
    EXPECT_EQ(outcome.out, "==> a/claims.edi <==\n" + summary +
                               (m_dir / "out/claims.pdf").string() +
                               "\n\n==> b/claims.edi <==\n\n==> c.edi <==\n" + summary +
                               (m_dir / "out/c.pdf").string() + "\n\n==> out/c.pdf <==\n");
    EXPECT_EQ(
        outcome.err,
        "error: the report of \u201Cb/claims.edi\u201D would replace \u201Cout/claims.pdf\u201D, "
        "written earlier in this run; export it on its own\n"
        "error: \u201Cout/c.pdf\u201D is a PDF file, not X12\n");
    EXPECT_EQ(listing(m_dir / "out"), (std::set<std::string>{"c.pdf", "claims.pdf"}));

    for (const std::string folder : {"missing", "c.edi"}) {
        SCOPED_TRACE(folder);
        const Outcome refused =
            run({"--export-pdf", "b/claims.edi", "--output-dir", folder}, {}, m_dir);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err,
                  folder == "missing"
                      ? "error: cannot use the output folder \u201Cmissing\u201D: No "
                        "such file or directory\n"
                      : "error: the output folder \u201Cc.edi\u201D is not a folder\n");
    }
    EXPECT_FALSE(fs::exists(m_dir / "b/claims.pdf"));
}

TEST_F(CommandLineTest, CsvForASpreadsheet)
{
    // A byte-order mark, and a formula kept from running (an amount is not).
    write("formula.x12", "N3*=1+2*-12.50~");
    expectEach({{{"--dump-csv", "--spreadsheet", "formula.x12"},
                 0,
                 "\xEF\xBB\xBFPath,Position,Tag,Element,Name,Value,Text\r\n"
                 ",1,N3,N301,Address Line 1,'=1+2,'=1+2\r\n"
                 ",1,N3,N302,Address Line 2,-12.50,-12.50\r\n",
                 ""}});
}

TEST_F(CommandLineTest, FilesThatLookLikeOptionsAreNeverDropped)
{
    write("clean.x12", smallClaim);
    write("-1.x12", smallClaim);
    fs::create_directory(m_dir / "out");
    auto unknown = [](const std::string &option, const std::string &usage) {
        return "error: unknown option \u201C" + option +
               "\u201D; to name a file that begins with \u201C-\u201D, write \u201C./" + option +
               "\u201D or put \u201C--\u201D before it\n" + usage + "\n";
    };
    const std::string clean = "==> clean.x12 <==\nNo findings.\n";
    expectEach({
        // What a glob gives in a folder that holds -1.x12.
        {{"--check", "clean.x12", "-1.x12", "clean.x12"},
         2,
         "",
         unknown("-1.x12", "usage: Kelvane --check [--envelope-only] <file>...")},
        {{"--dump-json", "clean.x12", "-x"},
         2,
         "",
         unknown("-x", "usage: Kelvane --dump-json <file>...")},
        {{"--export-pdf", "--output-dir", "out", "clean.x12", "-1.x12"},
         2,
         "",
         unknown("-1.x12", "usage: Kelvane --export-pdf --output-dir <folder> <input>...")},
        // The file right after the mode is one whatever it looks like; after "--" all are.
        {{"--check", "-1.x12", "--envelope-only"}, 0, "No findings.\n", ""},
        {{"--check", "--envelope-only", "--", "-1.x12", "clean.x12"},
         0,
         "==> -1.x12 <==\nNo findings.\n\n" + clean,
         ""},
    });
    EXPECT_TRUE(fs::is_empty(m_dir / "out"));
}

TEST_F(CommandLineTest, PipesAreReadAsStreamsAndHoldNothingBack)
{
    write("clean.x12", smallClaim);
    write("broken.x12", brokenClaim);
    const std::string clean = "==> clean.x12 <==\nNo findings.\n";

    // "-" is standard input.
    const process::Result piped = process::run(
        "/bin/sh",
        {"-c", "exec \"$0\" --check --envelope-only clean.x12 - < broken.x12", KELVANE_EXECUTABLE},
        m_dir / "stdout", m_dir / "stderr", m_dir);
    EXPECT_EQ(piped.status, 3);
    EXPECT_EQ(slurp(m_dir / "stdout"),
              clean + "\n==> standard input <==\nsegment 9 (GE): error: GE02 9 does not match "
                      "GS06 1\n1 error, 0 warnings\n");

    // A FIFO whose writer has not written yet holds back no file before it.
    const fs::path fifo = m_dir / "fifo.x12";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int out = ::open((m_dir / "slow").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t child = process::start(
        KELVANE_EXECUTABLE, {"--check", "--envelope-only", "clean.x12", "fifo.x12", "clean.x12"},
        out, out, m_dir);
    ::close(out);
    bool firstOut = false;
    for (int i = 0; i < 6000 && !firstOut; ++i) {
        firstOut = slurp(m_dir / "slow") == clean;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(firstOut) << slurp(m_dir / "slow");
    {
        std::ofstream writer(fifo);
        writer << smallClaim;
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(slurp(m_dir / "slow"), clean + "\n==> fifo.x12 <==\nNo findings.\n\n" + clean);
}

TEST_F(CommandLineTest, ReportsAreNoMoreReadableThanTheirInput)
{
    const fs::path input = write("claims.x12", smallClaim);
    fs::permissions(input, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(run({"--export-pdf", input.string()}).status, 0);
    EXPECT_EQ(fs::status(m_dir / "claims.pdf").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    // A report replaced keeps what both allow.
    const fs::path report = m_dir / "shared.pdf";
    ASSERT_EQ(run({"--export-pdf", input.string(), report.string()}).status, 0);
    fs::permissions(report, fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(input, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(run({"--export-pdf", input.string(), report.string()}).status, 0);
    EXPECT_EQ(fs::status(report).permissions(), fs::perms::owner_read);
}

} // namespace
