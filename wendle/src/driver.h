#pragma once

// The run of wendle: the command line, then one archive per list file.

#include "util/disk.h"

#include <ostream>

// Runs wendle with the command line `argv` on `disk`: the help text and the
// "is update." notice go to `out`, every error to `err`, one line each,
// flushed. Returns the exit status: 0 when every list file was handled, 1
// after any error and for an empty command line.
int run_wendle(disk& disk, int argc, const char* const* argv, std::ostream& out, std::ostream& err);
