#include "fcl/FileSystem.h"

namespace XALFcl {

bool GetFileModTime(CDisk& disk, const std::string& path, std::int64_t& time) {
    FileStatus status;
    if (!disk.GetStatus(path, status))
        return false;
    time = status.modTime;
    return true;
}

int IsDirectory(CDisk& disk, const std::string& path) {
    FileStatus status;
    if (!disk.GetStatus(path, status))
        return -1;
    return status.kind == FileKind::Directory ? 1 : 0;
}

// A status query fails without telling why, so a failure is taken for "nothing
// there" only when a second look, through links, fails too: a query that
// merely failed must not make an existing archive look absent (its backup
// would be skipped) or an existing directory look free.
bool PathExists(CDisk& disk, const std::string& path) {
    FileStatus status;
    return disk.GetLinkStatus(path, status) || disk.GetStatus(path, status);
}

bool SameFile(CDisk& disk, const std::string& a, const std::string& b) {
    FileStatus first, second;
    return disk.GetStatus(a, first) && disk.GetStatus(b, second) && first.device == second.device
        && first.inode == second.inode;
}

} // namespace XALFcl
