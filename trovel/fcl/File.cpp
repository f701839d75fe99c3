#include "fcl/File.h"

#include "fcl/Exception.h"
#include "fcl/Platform.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace XALFcl {

namespace {

bool ModeFor(const char* mode, Platform::OpenMode& openMode) {
    if (std::strcmp(mode, "rb") == 0 || std::strcmp(mode, "r") == 0)
        openMode = Platform::OpenMode::Read;
    else if (std::strcmp(mode, "wb") == 0 || std::strcmp(mode, "w") == 0)
        openMode = Platform::OpenMode::WriteTruncate;
    else if (std::strcmp(mode, "wbx") == 0 || std::strcmp(mode, "wx") == 0)
        openMode = Platform::OpenMode::WriteExclusive;
    else if (std::strcmp(mode, "wbl") == 0 || std::strcmp(mode, "wl") == 0)
        openMode = Platform::OpenMode::CreateLocked;
    else
        return false;
    return true;
}

// stdio counts in size_t; a count beyond it can only be served in part,
// which the callers see as a short transfer.
std::size_t ClampCount(std::uint64_t count) {
    constexpr auto kMax = std::numeric_limits<std::size_t>::max();
    return count > kMax ? kMax : static_cast<std::size_t>(count);
}

} // namespace

CFile::CFile() = default;

CFile::CFile(const std::string& path, const char* mode) {
    if (!Open(path, mode))
        throw CFileException(CFileException::kCannotOpen, path);
}

CFile::~CFile() {
    Close();
}

bool CFile::Open(const std::string& path, const char* mode) {
    Close();
    Platform::OpenMode openMode;
    if (mode == nullptr || !ModeFor(mode, openMode))
        return false;
    handle = Platform::OpenFile(path, openMode);
    if (handle == nullptr)
        return false;
    name = path;
    return true;
}

void CFile::Close() {
    if (handle != nullptr)
        std::fclose(handle);
    handle = nullptr;
    name.clear();
}

void CFile::Finish() {
    if (handle == nullptr)
        return;
    const bool flushed = std::fflush(handle) == 0 && !std::ferror(handle);
    const bool closed = std::fclose(handle) == 0;
    handle = nullptr;
    std::string subject;
    subject.swap(name);
    if (!flushed || !closed)
        throw CFileException(CFileException::kCannotWrite, subject);
}

std::uint64_t CFile::Read(void* buffer, std::uint64_t count) {
    if (handle == nullptr)
        throw CFileException(CFileException::kCannotLoad, name);
    if (count == 0)
        return 0;
    const std::size_t read = std::fread(buffer, 1, ClampCount(count), handle);
    if (std::ferror(handle))
        throw CFileException(CFileException::kCannotLoad, name);
    return read;
}

std::uint64_t CFile::ReadAt(std::int64_t offset, void* buffer, std::uint64_t count) {
    const std::int64_t read =
        handle == nullptr ? -1 : Platform::ReadFileAt(handle, offset, buffer, count);
    if (read < 0)
        throw CFileException(CFileException::kCannotLoad, name);
    return static_cast<std::uint64_t>(read);
}

std::uint64_t CFile::Write(const void* buffer, std::uint64_t count) {
    if (handle == nullptr)
        throw CFileException(CFileException::kCannotWrite, name);
    if (count == 0)
        return 0;
    const std::size_t written = std::fwrite(buffer, 1, ClampCount(count), handle);
    if (std::ferror(handle))
        throw CFileException(CFileException::kCannotWrite, name);
    return written;
}

int CFile::GetChar() {
    if (handle == nullptr)
        throw CFileException(CFileException::kCannotLoad, name);
    const int c = std::fgetc(handle);
    if (c == EOF) {
        if (std::ferror(handle))
            throw CFileException(CFileException::kCannotLoad, name);
        return -1;
    }
    return c;
}

void CFile::PutChar(std::uint8_t byte) {
    if (handle == nullptr || std::fputc(byte, handle) == EOF)
        throw CFileException(CFileException::kCannotWrite, name);
}

std::int64_t CFile::Seek(std::int64_t offset, int origin) {
    if (handle == nullptr || !Platform::SeekFile(handle, offset, origin))
        throw CFileException(CFileException::kCannotSeek, name);
    return Tell();
}

std::int64_t CFile::Tell() {
    const std::int64_t position = handle == nullptr ? -1 : Platform::TellFile(handle);
    if (position < 0)
        throw CFileException(CFileException::kCannotSeek, name);
    return position;
}

std::int64_t CFile::GetSize() {
    const std::int64_t position = Tell();
    const std::int64_t size = Seek(0, SEEK_END);
    Seek(position, SEEK_SET);
    return size;
}

void CFile::Rewind() {
    if (handle != nullptr)
        std::rewind(handle);
}

} // namespace XALFcl
