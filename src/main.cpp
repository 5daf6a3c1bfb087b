#include "cli/CommandLineExport.h"

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char **argv)
{
    try {
        CommandLineExport::runIfRequested(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fputs("error: not enough memory to open this file\n", stderr);
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    // The viewer window is not part of this build yet.
    std::fputs("kelvane: the viewer window is not available yet; see kelvane --help\n", stderr);
    return 2;
}
