#include "fcl/Console.h"

#include <cstdio>

namespace XALFcl {

void PrintLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace XALFcl
