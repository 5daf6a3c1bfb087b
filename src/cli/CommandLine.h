#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

/// The headless modes of the kelvane executable, chosen by the process arguments.
namespace CommandLine {

/// Runs the mode the arguments ask for and ends the process with its status; returns when they ask
/// for none, so the window can start. Call it first thing in main.
void runIfRequested(int argc, char **argv);

/// The same dispatch without ending the process: the mode's exit status, or nullopt when no mode
/// was requested. arguments[0] is the program path. Output goes to the given descriptors.
std::optional<int> run(std::span<const std::string_view> arguments, int outFd, int errFd);

/// The smaller of the process's address-space and data limits, and the ulimit option that sets
/// it, when either is set.
struct MemoryLimit
{
    std::uint64_t bytes;
    const char *option; // "-v" or "-d"
};
std::optional<MemoryLimit> memoryLimit() noexcept;

/// " within this process's limit of 512 MiB (ulimit -v)" when a memory limit is set, else an
/// empty text, written into `text`. Allocates nothing.
void describeMemoryLimit(char *text, std::size_t size) noexcept;

/// Says on errFd that a mode ran out of memory, naming the process's memory limit when one is set
/// (ulimit -v or -d), which is often why. Allocates nothing.
void reportOutOfMemory(int errFd) noexcept;

} // namespace CommandLine
