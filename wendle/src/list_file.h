#pragma once

// A list file: the wave files of one archive, one name per line.

#include "util/disk.h"

#include <memory>
#include <string>
#include <vector>

// Reads the list file at `path` whole when constructed and keeps it open
// while it lives. Names are taken verbatim, one per line, empty lines
// skipped; a line ends at LF, and a CR right before the LF belongs to the
// line end. Raises my_exception when the list cannot be opened or read.
class list_file {
public:
    list_file(disk& disk, const std::string& path);

    // The wave paths in list order, relative names resolved against the
    // list file's directory, duplicates kept.
    const std::vector<std::string>& waves() const { return waves_; }

private:
    std::unique_ptr<disk_file> file_;
    std::vector<std::string> waves_;
};
