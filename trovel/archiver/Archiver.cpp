#include "archiver/Archiver.h"

#include "fcl/Exception.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

int CArchiver::Run(int argc, const char* const* argv) {
    if (!ParseArguments(argc, argv)) {
        PrintUsage();
        return 1;
    }
    if (verbose)
        PrintBanner();

    try {
        RunMode();
    } catch (const XALFcl::CException& e) {
        e.Print();
        return 1;
    } catch (...) {
        std::fflush(stdout);
        std::fputs("An unexpected error has occurred.\n", stderr);
        std::fflush(stderr);
        return 1;
    }
    return 0;
}

void CArchiver::RunMode() {
    throw std::logic_error("mode not available yet");
}
