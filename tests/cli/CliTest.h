#pragma once

// The command-line tests' fixture: a scratch folder, and the kelvane executable run in it with its
// output captured.

#include "common/Files.h"
#include "common/Process.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

class CliTest : public files::ScratchTest
{
protected:
    struct Outcome
    {
        int status = -1; // exit status, or 128 + signal
        std::string out;
        std::string err;
        process::Result result; // how it ended, and its peak memory
    };

    /// Runs the kelvane executable; stdout goes to `outPath` when given, and is read back only
    /// when it is not.
    Outcome run(const std::vector<std::string> &arguments, const std::string &outPath = {},
                const std::filesystem::path &workingDirectory = {},
                std::chrono::seconds limit = std::chrono::seconds(300))
    {
        const std::filesystem::path out =
            outPath.empty() ? m_dir / "stdout" : std::filesystem::path(outPath);
        Outcome outcome;
        outcome.result = process::run(KELVANE_EXECUTABLE, arguments, out, m_dir / "stderr",
                                      workingDirectory, limit);
        outcome.status = outcome.result.status;
        if (outPath.empty())
            outcome.out = files::slurp(out);
        outcome.err = files::slurp(m_dir / "stderr");
        return outcome;
    }
};
