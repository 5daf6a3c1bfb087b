// Writes a synthetic 837P file for the benchmarks: kelvane_make_837 SIZE_MB OUTPUT [SEED].

#include "Generate837.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        std::fputs("usage: kelvane_make_837 SIZE_MB OUTPUT [SEED]\n"
                   "  SIZE_MB  approximate size in MiB (2^20 bytes); fractions such as 0.01 work\n",
                   stderr);
        return 2;
    }
    char *end = nullptr;
    const double megabytes = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(megabytes > 0) || megabytes > 4000) {
        std::fprintf(stderr, "kelvane_make_837: bad size '%s'\n", argv[1]);
        return 2;
    }
    std::uint64_t seed = 1;
    if (argc == 4)
        seed = std::strtoull(argv[3], nullptr, 10);

    const std::string text = generate837(std::size_t(megabytes * 1024 * 1024), seed);

    std::FILE *file = std::fopen(argv[2], "wb");
    if (!file) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
