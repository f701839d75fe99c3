#pragma once

// Writing a wave archive.

#include "util/disk.h"

#include <string>
#include <vector>

// Writes the wave archive of the wave files `waves`, in their order, to
// `out`, which is at its start. A wave that cannot be read raises
// my_exception (see wave_reader); a failed write or an archive that would
// reach 4 GiB raises strm::write_failure.
void write_wave_archive(disk& disk, disk_file& out, const std::vector<std::string>& waves);
