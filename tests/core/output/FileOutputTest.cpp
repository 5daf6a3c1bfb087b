#include "core/output/FileOutput.h"

#include "core/output/FileOutput_p.h"
#include "common/Files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using files::listing;
using files::slurp;

class FileOutputTest : public files::ScratchTest
{
protected:
    void TearDown() override
    {
        kelvane::detail::setUnnamedFilesAllowed(true);
        ScratchTest::TearDown();
    }
};

TEST_F(FileOutputTest, ThePathKeepsWhatItHadUntilCommit)
{
    const fs::path path = m_dir / "report.pdf";
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed file" : "hidden file");
        kelvane::detail::setUnnamedFilesAllowed(unnamed);
        std::ofstream(path) << "old";
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        {
            auto discarded = FileOutput::Replacement::create(path.string());
            ASSERT_TRUE(discarded);
            EXPECT_EQ(FileOutput::writeAll(discarded->fd(), "new"), 0);
        }
        EXPECT_EQ(slurp(path), "old");
        EXPECT_EQ(listing(m_dir), std::set<std::string>{"report.pdf"});

        auto replacement = FileOutput::Replacement::create(path.string());
        ASSERT_TRUE(replacement);
        EXPECT_EQ(replacement->path(), path.string());
        EXPECT_EQ(FileOutput::writeAll(replacement->fd(), "new"), 0);
        EXPECT_EQ(slurp(path), "old");
        ASSERT_TRUE(replacement->commit());
        EXPECT_EQ(slurp(path), "new");
        EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(listing(m_dir), std::set<std::string>{"report.pdf"});
    }
}

TEST_F(FileOutputTest, ASignalDuringTheWriteLeavesNothingBehind)
{
    const fs::path path = m_dir / "report.pdf";
    std::ofstream(path) << "the earlier report";
    for (const bool unnamed : {true, false}) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            SCOPED_TRACE(std::string(unnamed ? "unnamed file, " : "hidden file, ") +
                         ::strsignal(signal));
            int ready[2];
            ASSERT_EQ(::pipe(ready), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                kelvane::detail::setUnnamedFilesAllowed(unnamed);
                auto replacement = FileOutput::Replacement::create(path.string());
                if (!replacement || FileOutput::writeAll(replacement->fd(), "half a report") != 0)
                    ::_exit(2);
                ::write(ready[1], "!", 1);
                for (;;)
                    ::pause();
            }
            ::close(ready[1]);
            char byte = 0;
            ASSERT_EQ(::read(ready[0], &byte, 1), 1);
            ::close(ready[0]);
            // The hidden file is there while the report is written, and only then.
            EXPECT_EQ(listing(m_dir).size(), unnamed ? 1u : 2u);
            ::kill(child, signal);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
            EXPECT_EQ(listing(m_dir), std::set<std::string>{"report.pdf"});
            EXPECT_EQ(slurp(path), "the earlier report");
        }
    }
}

} // namespace
