#pragma once

// The up-to-date test of -u: whether an archive may be kept as it is.

#include "util/disk.h"

#include <string>
#include <vector>

// True when `output` holds a finished wave archive whose last-write time is
// strictly later than that of the list file and of every wave file it names,
// at the file system's full resolution. A time that cannot be read (a file
// missing, unreadable or not regular) means false, and so does an output
// whose writing was cut short, whatever its time.
bool archive_is_current(disk& disk, const std::string& list, const std::vector<std::string>& waves,
                        const std::string& output);
