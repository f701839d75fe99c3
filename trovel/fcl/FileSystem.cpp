#include "fcl/FileSystem.h"

#include "fcl/Platform.h"

namespace XALFcl {

bool GetFileModTime(const std::string& path, std::int64_t& time) {
    Platform::FileStatus status;
    if (!Platform::GetStatus(path, status))
        return false;
    time = status.modTime;
    return true;
}

int IsDirectory(const std::string& path) {
    Platform::FileStatus status;
    if (!Platform::GetStatus(path, status))
        return -1;
    return status.kind == Platform::FileKind::Directory ? 1 : 0;
}

bool PathExists(const std::string& path) {
    Platform::FileStatus status;
    return Platform::GetLinkStatus(path, status);
}

bool SameFile(const std::string& a, const std::string& b) {
    Platform::FileStatus first, second;
    return Platform::GetStatus(a, first) && Platform::GetStatus(b, second)
        && first.device == second.device && first.inode == second.inode;
}

} // namespace XALFcl
