#pragma once

// The only place where wendle meets the host's operating system. One
// implementation file per host family, chosen by the build.

#include "util/disk.h"

#include <string>

namespace platform {

// A path as the user wrote it, in the host's spelling: on POSIX hosts every
// "\" becomes "/".
std::string host_path(std::string text);

// The host's file system. Paths are handed to the OS as they are.
disk& host_disk();

// A reader that goes away must not end the run by a signal.
void ignore_broken_pipe();

} // namespace platform
