// The disk and the host facts on Windows. Names are UTF-8 inside the
// program and go to the wide-character API; every position is 64-bit.
#include "fcl/Disk.h"
#include "fcl/FileName.h"
#include "fcl/Platform.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include <windows.h>

namespace XALFcl {

namespace Platform {

const char kNativeSeparator = '\\';
const char* const kTextLineEnd = "\r\n";

bool IsReservedFileName(const std::string& name) {
    return IsWindowsReservedName(name);
}

// Windows raises no signal for a closed pipe: the write fails instead.
void IgnoreBrokenPipe() {}

} // namespace Platform

namespace {

// A single ReadFile or WriteFile moves a 32-bit count at most.
constexpr std::uint64_t kMaxTransfer = std::uint64_t{1} << 30;

DWORD TransferSize(std::uint64_t count) {
    return static_cast<DWORD>(std::min(count, kMaxTransfer));
}

// The lock of OpenMode::CreateLocked covers one byte far past any data, so
// that it keeps nobody from reading or writing the file itself (Windows locks
// are mandatory).
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0u;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

// A UTF-8 path as the wide API takes it; false when it is no such path (a
// NUL byte, or bytes that are not UTF-8).
bool Widen(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty())
        return true;
    if (text.find('\0') != std::string::npos)
        return false;
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length)
        == length;
}

// A name from the wide API in UTF-8. A name that is no valid UTF-16 (a lone
// surrogate) gets U+FFFD in its place, and then names no file.
std::string Narrow(const wchar_t* wide) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

// Owns one handle.
class CHandle {
public:
    explicit CHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    ~CHandle() { Reset(); }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool Reset() {
        const HANDLE handle = Release();
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
    std::wstring wide;
    if (!Widen(path, wide) || wide.empty())
        return INVALID_HANDLE_VALUE;
    return ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// A handle for questions about what `path` names: directories too, and with
// `followLinks` false the link itself.
HANDLE OpenForStatus(const std::string& path, bool followLinks) {
    return OpenHandle(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS
                          | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT));
}

// Whole seconds since 1970 of a FILETIME (100 ns units since 1601).
std::int64_t UnixSeconds(const FILETIME& time) {
    constexpr std::int64_t kTicksPerSecond = 10000000;
    constexpr std::int64_t kEpochOffset = 11644473600LL * kTicksPerSecond;
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32)
                                  | time.dwLowDateTime)
        - kEpochOffset;
    return ticks >= 0 ? ticks / kTicksPerSecond
                      : -((-ticks + kTicksPerSecond - 1) / kTicksPerSecond);
}

// A reparse point examined as itself is a link; one that a followed open
// still shows is a file of its own kind (a placeholder, say).
FileKind KindOf(DWORD attributes, bool asLink) {
    if (asLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return FileKind::Other;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::Regular;
}

// The permission bits that the attributes stand for: a read-only file is
// 0444, anything else 0666, and a directory has the search bits besides.
std::uint32_t PermissionsOf(DWORD attributes) {
    std::uint32_t permissions = attributes & FILE_ATTRIBUTE_READONLY ? 0444 : 0666;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        permissions |= 0111;
    return permissions;
}

// The status of an open handle. A link opened as itself (`asLink`) is
// Other, with isLink set; one followed is what it leads to.
bool StatusOfHandle(HANDLE handle, FileStatus& status, bool asLink = false) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info))
        return false;
    const DWORD type = ::GetFileType(handle);
    status.kind = type == FILE_TYPE_DISK ? KindOf(info.dwFileAttributes, asLink) : FileKind::Other;
    status.isLink = asLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    status.modTime = UnixSeconds(info.ftLastWriteTime);
    status.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    status.device = info.dwVolumeSerialNumber;
    status.inode = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    status.permissions = PermissionsOf(info.dwFileAttributes);
    return true;
}

bool StatusOfPath(const std::string& path, FileStatus& status, bool followLinks) {
    CHandle handle(OpenForStatus(path, followLinks));
    return handle.Valid() && StatusOfHandle(handle.Get(), status, !followLinks);
}

// Whether the file open as `opened` is the one open as `named`. Wine
// reports volume 0 for a file renamed while open, so that volume is taken
// for any; the file index still tells files apart.
bool SameFile(HANDLE opened, HANDLE named) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return ::GetFileInformationByHandle(opened, &first)
        && ::GetFileInformationByHandle(named, &second)
        && (first.dwVolumeSerialNumber == second.dwVolumeSerialNumber
            || first.dwVolumeSerialNumber == 0)
        && first.nFileIndexHigh == second.nFileIndexHigh
        && first.nFileIndexLow == second.nFileIndexLow;
}

// Whether `path` itself, not followed, is the file open as `handle`.
bool NameRefersTo(HANDLE handle, const std::string& path) {
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CHandle named(OpenForStatus(path, false));
    return named.Valid() && SameFile(handle, named.Get());
}

bool SetAttributes(const std::wstring& path, DWORD attributes) {
    return ::SetFileAttributesW(path.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes)
        != 0;
}

// Runs `call` on `path`; when Windows refuses it for the read-only attribute
// of the file there (which POSIX hosts do not ask for removing or replacing
// a name), runs it once more without that attribute, which comes back if
// the call fails again.
template <class Call>
bool IgnoringReadOnly(const std::wstring& path, Call call) {
    if (call())
        return true;
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)
        || (attributes & FILE_ATTRIBUTE_DIRECTORY)
        || !SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    if (call())
        return true;
    SetAttributes(path, attributes);
    return false;
}

bool Unlink(const std::string& path) {
    std::wstring wide;
    return Widen(path, wide) && !wide.empty()
        && IgnoringReadOnly(wide, [&] { return ::DeleteFileW(wide.c_str()) != 0; });
}

bool TryLock(HANDLE handle) {
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)
        != 0;
}

// A reader never waits on a device or a pipe: only a regular file on a disk
// opens, and the status taken here is kept in `info`.
HANDLE OpenForReading(const std::string& path, FileStatus& info) {
    CHandle handle(OpenHandle(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    if (!handle.Valid() || ::GetFileType(handle.Get()) != FILE_TYPE_DISK
        || !StatusOfHandle(handle.Get(), info) || info.kind != FileKind::Regular)
        return INVALID_HANDLE_VALUE;
    return handle.Release();
}

// A new file for the temporary-file protocol: other processes may read it,
// and it may be renamed while open.
HANDLE CreateNew(const std::string& path) {
    return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

// Deletes the file open as `handle` once it is closed; a read-only file
// (the leftover of a run that saved over a read-only archive) loses that
// attribute first.
bool DeleteOpenFile(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    const auto mark = [&] {
        return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                            sizeof disposition)
            != 0;
    };
    if (mark())
        return true;
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
        || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) && mark();
}

// OpenMode::CreateLocked, round by round as on POSIX hosts: either the file
// is created and locked, or what was in the way is cleared away. A leftover
// is deleted through the handle that holds its lock, so only that file goes,
// whatever the name names meanwhile.
HANDLE CreateLocked(const std::string& path) {
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        CHandle created(CreateNew(path));
        if (created.Valid()) {
            const bool locked = TryLock(created.Get());
            if (locked && NameRefersTo(created.Get(), path))
                return created.Release();
            if (!locked)
                return INVALID_HANDLE_VALUE;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS
            && error != ERROR_ACCESS_DENIED)
            return INVALID_HANDLE_VALUE;
        FileStatus there;
        if (!StatusOfPath(path, there, false)) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND)
                continue;
            return INVALID_HANDLE_VALUE;
        }
        if (there.kind == FileKind::Directory)
            return INVALID_HANDLE_VALUE;
        if (there.kind != FileKind::Regular) {
            if (!Unlink(path) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
                return INVALID_HANDLE_VALUE;
            continue;
        }
        CHandle probe(OpenHandle(path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, kShareAll,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
        if (!probe.Valid()) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND)
                continue;
            return INVALID_HANDLE_VALUE;
        }
        // A live writer holds its lock until its file has left the name.
        if (!TryLock(probe.Get()))
            return INVALID_HANDLE_VALUE;
        if (!DeleteOpenFile(probe.Get()))
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

class CWindowsFile : public CDiskFile {
public:
    // `lock` duplicates `handle` for a file that must stay locked past Close.
    // `opened` is the status taken by the open, when it took one.
    CWindowsFile(HANDLE handle, HANDLE lock, const FileStatus* opened)
        : handle_(handle), lock_(lock) {
        if (opened != nullptr) {
            opened_ = *opened;
            haveOpened_ = true;
        }
    }

    // The position is kept here and every transfer names its offset, so a
    // read at an offset leaves it alone.
    std::int64_t Read(void* buffer, std::uint64_t count) override {
        const std::int64_t n = ReadAt(position_, buffer, count);
        if (n > 0)
            position_ += n;
        return n;
    }

    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count) override {
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        if (!::ReadFile(handle_.Get(), buffer, TransferSize(count), &got, &at))
            return ::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE
                ? 0
                : -1;
        return static_cast<std::int64_t>(got);
    }

    std::int64_t Write(const void* buffer, std::uint64_t count) override {
        OVERLAPPED at = At(position_);
        DWORD put = 0;
        if (!::WriteFile(handle_.Get(), buffer, TransferSize(count), &put, &at)
            || (count > 0 && put == 0))
            return -1;
        position_ += put;
        return static_cast<std::int64_t>(put);
    }

    std::int64_t Seek(std::int64_t offset, int origin) override {
        std::int64_t base = 0;
        if (origin == SEEK_CUR) {
            base = position_;
        } else if (origin == SEEK_END) {
            LARGE_INTEGER size;
            if (!::GetFileSizeEx(handle_.Get(), &size))
                return -1;
            base = size.QuadPart;
        } else if (origin != SEEK_SET) {
            return -1;
        }
        if ((offset < 0 && base + offset < 0)
            || (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset))
            return -1;
        position_ = base + offset;
        return position_;
    }

    bool Close() override {
        const bool valid = handle_.Valid();
        return handle_.Reset() && valid;
    }

    bool GetStatus(FileStatus& status) override {
        if (haveOpened_) {
            haveOpened_ = false;
            status = opened_;
            return true;
        }
        return StatusOfHandle(Identity(), status);
    }

    // Only the owner's write bit has a meaning here: without it the file is
    // read-only.
    bool SetPermissions(std::uint32_t permissions) override {
        haveOpened_ = false;
        FILE_BASIC_INFO basic;
        if (!::GetFileInformationByHandleEx(handle_.Get(), FileBasicInfo, &basic, sizeof basic))
            return false;
        DWORD attributes = basic.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
        attributes = permissions & 0200 ? attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                        : attributes | FILE_ATTRIBUTE_READONLY;
        basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
        return ::SetFileInformationByHandle(handle_.Get(), FileBasicInfo, &basic, sizeof basic)
            != 0;
    }

    bool IsAt(const std::string& path) override { return NameRefersTo(Identity(), path); }

private:
    static OVERLAPPED At(std::int64_t offset) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
        return at;
    }

    // A handle of the file for questions about it, also after Close.
    HANDLE Identity() const { return handle_.Valid() ? handle_.Get() : lock_.Get(); }

    CHandle handle_;
    CHandle lock_;
    std::int64_t position_ = 0;
    FileStatus opened_;
    bool haveOpened_ = false;
};

// `path` with the pattern of all its names.
std::wstring AllNamesIn(const std::wstring& path) {
    const wchar_t last = path.back();
    const bool bare = last == L'\\' || last == L'/' || (path.size() == 2 && last == L':');
    return path + (bare ? L"*" : L"\\*");
}

DirectoryName NameOf(const WIN32_FIND_DATAW& found) {
    DirectoryName name;
    name.name = Narrow(found.cFileName);
    name.kindKnown = !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    name.kind = KindOf(found.dwFileAttributes, true);
    return name;
}

// Hands every name of the directory at `path` to `take`.
template <class Take>
bool ListNames(const std::string& path, Take take) {
    std::wstring wide;
    if (!Widen(path, wide) || wide.empty())
        return false;
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileExW(AllNamesIn(wide).c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do
        take(found);
    while (::FindNextFileW(find, &found));
    const bool ended = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    return ended;
}

// A name in the directory at `path`.
std::string Join(const std::string& path, const std::string& name) {
    const char last = path.back();
    const bool bare = last == '\\' || last == '/' || (path.size() == 2 && last == ':');
    return bare ? path + name : path + '\\' + name;
}

// The directory is held open without leave to delete it, so that neither
// it nor a directory above it can be renamed or removed while it is held:
// its path keeps naming it, and its names are reached through that path.
class CWindowsDirectory : public CDiskDirectory {
public:
    CWindowsDirectory(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}

    bool List(std::vector<DirectoryName>& names) override {
        return ListNames(path_,
                         [&](const WIN32_FIND_DATAW& found) { names.push_back(NameOf(found)); });
    }

    bool GetStatus(FileStatus& status) override { return StatusOfHandle(handle_.Get(), status); }

    bool GetStatus(const std::string& name, FileStatus& status) override {
        return StatusOfPath(Join(path_, name), status, true);
    }

    std::unique_ptr<CDiskFile> OpenFile(const std::string& name) override {
        FileStatus opened;
        const HANDLE handle = OpenForReading(Join(path_, name), opened);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<CWindowsFile>(handle, INVALID_HANDLE_VALUE, &opened);
    }

private:
    CHandle handle_;
    std::string path_;
};

class CWindowsDisk : public CDisk {
public:
    std::unique_ptr<CDiskFile> Open(const std::string& path, OpenMode mode) override {
        HANDLE handle = INVALID_HANDLE_VALUE;
        FileStatus opened;
        switch (mode) {
        case OpenMode::Read: handle = OpenForReading(path, opened); break;
        case OpenMode::WriteTruncate:
            handle = OpenHandle(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
            break;
        case OpenMode::WriteExclusive:
            handle =
                OpenHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
            break;
        case OpenMode::CreateLocked: handle = CreateLocked(path); break;
        }
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        CHandle file(handle);
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (mode == OpenMode::CreateLocked
            && !::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &lock, 0,
                                  FALSE, DUPLICATE_SAME_ACCESS))
            return nullptr;
        return std::make_unique<CWindowsFile>(file.Release(), lock,
                                              mode == OpenMode::Read ? &opened : nullptr);
    }

    bool GetStatus(const std::string& path, FileStatus& status) override {
        return StatusOfPath(path, status, true);
    }

    bool GetLinkStatus(const std::string& path, FileStatus& status) override {
        return StatusOfPath(path, status, false);
    }

    bool ListDirectory(const std::string& path, std::vector<std::string>& names) override {
        return ListNames(
            path, [&](const WIN32_FIND_DATAW& found) { names.push_back(Narrow(found.cFileName)); });
    }

    bool ListDirectory(const std::string& path, std::vector<DirectoryName>& names) override {
        return ListNames(path,
                         [&](const WIN32_FIND_DATAW& found) { names.push_back(NameOf(found)); });
    }

    std::unique_ptr<CDiskDirectory> OpenDirectory(const std::string& path) override {
        CHandle handle(OpenHandle(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS));
        FileStatus status;
        if (!handle.Valid() || !StatusOfHandle(handle.Get(), status)
            || status.kind != FileKind::Directory)
            return nullptr;
        return std::make_unique<CWindowsDirectory>(handle.Release(), path);
    }

    bool MakeDirectory(const std::string& path) override {
        std::wstring wide;
        return Widen(path, wide) && !wide.empty() && ::CreateDirectoryW(wide.c_str(), nullptr);
    }

    bool RemoveFile(const std::string& path) override { return Unlink(path); }

    bool RenameReplace(const std::string& from, const std::string& to) override {
        std::wstring source, target;
        if (!Widen(from, source) || !Widen(to, target) || source.empty() || target.empty())
            return false;
        // One move, which either replaces the target or leaves it as it was.
        // It fails while another process has the target open without
        // allowing its deletion; the caller then keeps the old file.
        return IgnoringReadOnly(target, [&] {
            return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        });
    }

    bool HardLink(const std::string& existing, const std::string& link) override {
        std::wstring target, name;
        return Widen(existing, target) && Widen(link, name) && !target.empty() && !name.empty()
            && ::CreateHardLinkW(name.c_str(), target.c_str(), nullptr);
    }

    // Windows itself takes millions of handles, but Wine keeps a host
    // descriptor for each open file, in the program and in its server,
    // within the host's limit (often a few thousand); a file past the bound
    // is only opened again when needed.
    std::uint64_t OpenFileLimit() override { return (std::uint64_t{1} << 12) - 64; }

    std::uint32_t DefaultPermissions() override { return 0666; }
};

} // namespace

CDisk& SystemDisk() {
    static CWindowsDisk disk;
    return disk;
}

} // namespace XALFcl
