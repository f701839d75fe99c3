#pragma once

#include "fcl/Disk.h"

#include <cstdint>
#include <string>

namespace XALFcl {

// Status queries on disk paths. All but PathExists follow symbolic links.

// The modification time in seconds since 1970 UTC; false, leaving `time`
// unchanged, when the path's status cannot be had.
bool GetFileModTime(CDisk& disk, const std::string& path, std::int64_t& time);

// 1 for a directory, 0 for anything else that exists, -1 when the status
// cannot be had (a missing path, say).
int IsDirectory(CDisk& disk, const std::string& path);

// Whether anything, a dangling link too, is at `path`; false only when
// neither the path itself nor what it leads to has a status.
bool PathExists(CDisk& disk, const std::string& path);

// Whether both paths exist and are the same file (device and inode).
bool SameFile(CDisk& disk, const std::string& a, const std::string& b);

} // namespace XALFcl
