#include "cli/CommandLineExport.h"
#include "common/Process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Outcome
{
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

std::string slurp(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CommandLineExportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("kelvane-cli-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string write(const std::string &name, const std::string &bytes)
    {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    /// Runs the kelvane executable; stdout goes to `outPath` when given.
    Outcome run(const std::vector<std::string> &arguments, const std::string &outPath = {},
                const fs::path &workingDirectory = {})
    {
        const fs::path out = outPath.empty() ? m_dir / "stdout" : fs::path(outPath);
        const fs::path err = m_dir / "stderr";
        const process::Result result =
            process::run(KELVANE_EXECUTABLE, arguments, out, err, workingDirectory);
        Outcome outcome;
        outcome.status = result.status;
        if (outPath.empty())
            outcome.out = slurp(out);
        outcome.err = slurp(err);
        return outcome;
    }

    fs::path m_dir;
};

const std::string smallClaim = "ISA*00*          *00*          *ZZ*SENDER         *ZZ*RECEIVER       "
                               "*240315*1230*^*00501*000000001*0*P*:~\n"
                               "GS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
                               "ST*837*0001~\n"
                               "BHT*0019*00*1*20240315*1230*CH~\n"
                               "HL*1**20*1~\n"
                               "NM1*85*2*ACME CLINIC*****XX*1234567890~\n"
                               "N3*12 MAIN ST~\n"
                               "SE*6*0001~\n"
                               "GE*1*1~\n"
                               "IEA*1*000000001~\n";

TEST_F(CommandLineExportTest, DumpTreePrintsEveryNodeIndented)
{
    const Outcome outcome = run({"--dump-tree", write("claim.x12", smallClaim)});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out,
              "Interchange  \u2014 SENDER \u2192 RECEIVER \u00B7 03/15/2024 \u00B7 Production \u00B7 "
              "control 000000001\n"
              "  Functional Group HC  \u2014 Health Care Claim (837) \u00B7 SENDER \u2192 RECEIVER "
              "\u00B7 03/15/2024 \u00B7 005010X222A1\n"
              "    Transaction Set 837  \u2014 Health Care Claim\n"
              "      BHT \u2014 Beginning of Hierarchical Transaction  \u2014 0019 \u00B7 00 \u00B7 1\n"
              "      HL 1 \u2014 Information Source  \u2014 1 \u00B7 20\n"
              "        Billing Provider: ACME CLINIC  \u2014 NPI 1234567890\n"
              "          N3 \u2014 Party Address  \u2014 12 MAIN ST\n"
              "      SE \u2014 Transaction Set Trailer  \u2014 control 0001\n"
              "    GE \u2014 Functional Group Trailer  \u2014 control 1\n"
              "  IEA \u2014 Interchange Control Trailer  \u2014 control 000000001\n");
}

TEST_F(CommandLineExportTest, DumpTreeWinsWhereverItStands)
{
    const std::string first = write("first.x12", "NM1*85~");
    const std::string second = write("second.x12", "NM1*85~N4*B~");
    const Outcome outcome = run({"--export-pdf", first, "--dump-tree", second, "--dump-tree", first});
    EXPECT_EQ(outcome.status, 0);
    // A node without a subtitle has no dash; N4 keeps its separators when elements are missing.
    EXPECT_EQ(outcome.out, "Billing Provider\n"
                           "  N4 \u2014 Geographic Location  \u2014 B,  \n");
    EXPECT_FALSE(fs::exists(m_dir / "first.pdf"));

    // Whatever follows --dump-tree is its path, even an option.
    const Outcome optionAsPath = run({"--dump-tree", "--help"});
    EXPECT_EQ(optionAsPath.status, 1);
    EXPECT_EQ(optionAsPath.err, "error: cannot open \u201C--help\u201D: No such file or directory\n");
}

TEST_F(CommandLineExportTest, NoModeRequested)
{
    const std::vector<std::vector<std::string_view>> cases{
        {},
        {"kelvane"},
        {"kelvane", "--dump-tree"},
        {"kelvane", "claims.x12", "--verbose"},
    };
    for (const auto &arguments : cases)
        EXPECT_EQ(CommandLineExport::run(arguments, -1, -1), std::nullopt);
}

TEST_F(CommandLineExportTest, FailuresGoToStandardErrorWithStatusOne)
{
    struct Case
    {
        const char *name;
        std::string bytes;
        std::string err;
    };
    const std::vector<Case> cases{
        {"empty.x12", "", "error: The file is empty.\n"},
        {"blank.x12", "\r\n\n \n\t", "error: The file is empty.\n"},
        {"tildes.x12", "~~~~\n", "error: No X12 segments were found. This does not look like an "
                                  "X12/EDI file.\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run({"--dump-tree", write(c.name, c.bytes)});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, c.err);
    }

    const std::string latin1 = write("latin1.x12", "NM1*IL*1*M\xDCLLER~");
    const Outcome notUtf8 = run({"--dump-tree", latin1});
    EXPECT_EQ(notUtf8.status, 1);
    EXPECT_EQ(notUtf8.out, "");
    EXPECT_EQ(notUtf8.err, "error: \u201C" + latin1 +
                               "\u201D is not valid UTF-8 text (byte 0xDC at offset 10)\n");
}

TEST_F(CommandLineExportTest, ByteOrderMarksAreNotPartOfTheText)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("ST*837*1~SE*2*1~")) {
        utf16 += c;
        utf16 += '\0';
    }
    for (const std::string &bytes : {std::string("\xEF\xBB\xBFST*837*1~SE*2*1~"), utf16}) {
        const Outcome outcome = run({"--dump-tree", write("bom.x12", bytes)});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out, "Transaction Set 837  \u2014 Health Care Claim\n"
                               "  SE \u2014 Transaction Set Trailer  \u2014 control 1\n");
    }
}

TEST_F(CommandLineExportTest, ClosedPipeEndsQuietly)
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

TEST_F(CommandLineExportTest, ExportNeedsAnInput)
{
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"--export-pdf"}, {"--export-pdf", "-v", "--quiet"}}) {
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "usage: Kelvane --export-pdf <input> [output.pdf]\n");
    }
    const Outcome empty = run({"--export-pdf", "-v", write("empty.x12", "")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "error: The file is empty.\n");
}

TEST_F(CommandLineExportTest, DumpJsonComesAfterTheOtherModes)
{
    const std::string latin1 = write("latin1.x12", "NM1*IL*1*M\xDCLLER~");
    const Outcome json = run({"--dump-json", latin1});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, "");
    EXPECT_TRUE(json.out.starts_with("{\"fileName\":\"latin1.x12\",")) << json.out;
    EXPECT_NE(json.out.find("\"value\":\"M\u00DCLLER\""), std::string::npos) << json.out;
    EXPECT_TRUE(json.out.ends_with("]}\n"));

    const Outcome tree = run({"--dump-json", latin1, "--dump-tree", write("ok.x12", "N3*A~")});
    EXPECT_EQ(tree.out, "N3 \u2014 Party Address  \u2014 A\n");
    const Outcome usage = run({"--dump-json", latin1, "--export-pdf"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.out, "");

    const Outcome empty = run({"--dump-json", write("empty.x12", " \n")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "error: The file is empty.\n");
}

TEST_F(CommandLineExportTest, ExportWritesTheReportBesideTheInput)
{
    write("claims.txt", smallClaim);
    const Outcome outcome = run({"--export-pdf", "-v", "claims.txt"}, {}, m_dir);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out, "10 segments \u00B7 transaction set 837\nWrote " +
                               (m_dir / "claims.pdf").string() + "\n");
    EXPECT_TRUE(fs::exists(m_dir / "claims.pdf"));

    // An output operand is used as given; operands after it are ignored.
    const Outcome named = run({"--export-pdf", "claims.txt", "report.data", "third"}, {}, m_dir);
    EXPECT_EQ(named.status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "report.data"));
    EXPECT_FALSE(fs::exists(m_dir / "third"));

    // ISO Latin 1 is read as such.
    write("archive.edi.txt", "NM1*IL*1*M\xDCLLER~N3*A~");
    const Outcome latin1 = run({"--export-pdf", "archive.edi.txt"}, {}, m_dir);
    EXPECT_EQ(latin1.status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "archive.edi.pdf"));
}

TEST_F(CommandLineExportTest, ExportFailures)
{
    // The report would replace its own input.
    const std::string input = write("claims.pdf", smallClaim);
    const Outcome itself = run({"--export-pdf", input});
    EXPECT_EQ(itself.status, 1);
    EXPECT_EQ(itself.out, "");
    EXPECT_EQ(itself.err, "error: the output \u201C" + (m_dir / "claims.pdf").string() +
                              "\u201D is the input file; give another output path\n");
    std::ifstream kept(input, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), smallClaim);

    const Outcome missing = run({"--export-pdf", (m_dir / "missing.txt").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(m_dir / "missing.pdf"));
}

TEST_F(CommandLineExportTest, CheckListsFindings)
{
    const Outcome clean = run({"--check", write("clean.x12", smallClaim)});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "No findings.\n");
    EXPECT_EQ(clean.err, "");

    std::string broken = smallClaim;
    broken.replace(broken.find("GE*1*1"), 6, "GE*2*9");
    const Outcome findings = run({"--check", write("broken.x12", broken)});
    EXPECT_EQ(findings.status, 3);
    EXPECT_EQ(findings.out, "segment 9 (GE): error: GE02 9 does not match GS06 1\n"
                            "segment 9 (GE): error: GE01 says 2 transaction sets; the group has 1\n"
                            "2 errors, 0 warnings\n");

    const Outcome empty = run({"--check", write("empty.x12", "")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "error: The file is empty.\n");
    // The other modes come first.
    const Outcome tree = run({"--check", write("a.x12", "N3*A~"), "--dump-tree", write("b.x12", "N4*B~")});
    EXPECT_EQ(tree.out, "N4 \u2014 Geographic Location  \u2014 B,  \n");
}

TEST_F(CommandLineExportTest, HelpAndVersion)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: kelvane [FILE]\n")) << help.out;
    EXPECT_EQ(help.err, "");
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("Kelvane ")) << version.out;
}

} // namespace
