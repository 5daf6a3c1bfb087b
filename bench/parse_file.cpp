// Reads, decodes and parses one file, as opening it does, and prints its size in segments and
// nodes: Kelvane's side of bench/compare.sh, where every tool is a process given the same file.
//
//   kelvane_parse FILE

#include "core/text/TextFile.h"
#include "core/parse/X12Parser.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: kelvane_parse FILE\n", stderr);
        return 2;
    }
    auto text = TextFile::read(argv[1], TextFile::Decoding::utf8OrLatin1);
    if (!text) {
        std::fprintf(stderr, "error: %s\n", std::string(text.error().description()).c_str());
        return 1;
    }
    const auto document = X12Parser::parse(std::move(*text), argv[1]);
    if (!document) {
        std::fprintf(stderr, "error: %s\n", std::string(description(document.error())).c_str());
        return 1;
    }
    (*document)->listChildren(); // as the window's open does
    std::printf("%zu segments, %zu nodes\n", (*document)->segments().size(),
                (*document)->nodeCount());
    return 0;
}
