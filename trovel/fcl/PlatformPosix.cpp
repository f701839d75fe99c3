#include "fcl/Platform.h"

#include <csignal>

namespace XALFcl::Platform {

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace XALFcl::Platform
