// Writes one of the inputs that real feeds and hostile senders produce, for the benchmarks:
//
//   kelvane_make_worst KIND SIZE_MB OUTPUT
//
// Each kind repeats one unit up to the size, never cutting a unit (and so never a character) in
// two. SIZE_MB is in MiB (2^20 bytes) and may be a fraction.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Kind
{
    std::string_view name;
    std::string_view unit;
    std::string_view what;
};

constexpr std::array kinds{
    Kind{"mixed", "aa\xC3\xA9", "ASCII and non-ASCII letters alternating densely (aa\xC3\xA9)"},
    Kind{"accents", "\xC3\xA9", "one accented letter (\xC3\xA9) repeated, no ISA, no terminator"},
    Kind{"combining", "e\xCC\x81", "a combining mark after every letter (e + U+0301)"},
    Kind{"emoji", "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",
         "emoji ZWJ sequences (woman, woman, girl)"},
    Kind{"noterm", "ABCDEFGHIJ", "plain letters without any terminator"},
    Kind{"tiny", "SE~", "33 million tiny segments (SE~)"},
    Kind{"tags", "A~", "50 million one-letter segments (A~)"},
    Kind{"nul", std::string_view("\0", 1), "NUL bytes"},
};

} // namespace

int main(int argc, char **argv)
{
    auto usage = [] {
        std::fputs("usage: kelvane_make_worst KIND SIZE_MB OUTPUT\nkinds:\n", stderr);
        for (const Kind &kind : kinds)
            std::fprintf(stderr, "  %-10s %.*s\n", std::string(kind.name).c_str(),
                         int(kind.what.size()), kind.what.data());
        return 2;
    };
    if (argc != 4)
        return usage();
    const Kind *kind = nullptr;
    for (const Kind &candidate : kinds) {
        if (candidate.name == argv[1])
            kind = &candidate;
    }
    if (!kind)
        return usage();
    char *end = nullptr;
    const double megabytes = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || !(megabytes > 0) || megabytes > 4096) {
        std::fprintf(stderr, "kelvane_make_worst: bad size '%s'\n", argv[2]);
        return 2;
    }
    const auto size = std::size_t(megabytes * 1024 * 1024);

    // A block of whole units, written as many times as fits, then the whole units that remain.
    std::string block;
    while (block.size() + kind->unit.size() <= (std::size_t(1) << 20))
        block += kind->unit;
    std::FILE *file = std::fopen(argv[3], "wb");
    if (!file) {
        std::perror(argv[3]);
        return 1;
    }
    bool written = true;
    std::size_t left = size;
    while (written && left >= block.size()) {
        written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
        left -= block.size();
    }
    const std::size_t tail = left / kind->unit.size() * kind->unit.size();
    written = written && std::fwrite(block.data(), 1, tail, file) == tail;
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[3]);
        return 1;
    }
    return 0;
}
