// What the unit tests ask of a Windows host: file times. Programs are not
// run from a test there; the end-to-end tests run on the build machine.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <windows.h>

namespace testsupport {

void SetModTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
    // 100 ns ticks since 1601.
    const std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000u
        + static_cast<std::uint64_t>(nanoseconds / 100);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    const HANDLE file = ::CreateFileW(std::filesystem::u8path(path).wstring().c_str(),
                                      FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool set = file != INVALID_HANDLE_VALUE && ::SetFileTime(file, nullptr, &time, &time);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (!set)
        ADD_FAILURE() << "cannot set the time of " << path;
}

} // namespace testsupport
