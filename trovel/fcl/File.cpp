#include "fcl/File.h"

#include "fcl/Exception.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace XALFcl {

namespace {

// Byte-wise reads (scripts, headers) are served from transfers of this
// size; block reads go to the caller's memory directly.
constexpr std::size_t kReadBufferSize = std::size_t{4} << 10;
// Small writes are gathered into transfers of this size; larger ones go to
// the disk directly.
constexpr std::size_t kWriteBufferSize = std::size_t{64} << 10;

bool ModeFor(const char* mode, OpenMode& openMode) {
    if (std::strcmp(mode, "rb") == 0 || std::strcmp(mode, "r") == 0)
        openMode = OpenMode::Read;
    else if (std::strcmp(mode, "wb") == 0 || std::strcmp(mode, "w") == 0)
        openMode = OpenMode::WriteTruncate;
    else if (std::strcmp(mode, "wbx") == 0 || std::strcmp(mode, "wx") == 0)
        openMode = OpenMode::WriteExclusive;
    else if (std::strcmp(mode, "wbl") == 0 || std::strcmp(mode, "wl") == 0)
        openMode = OpenMode::CreateLocked;
    else
        return false;
    return true;
}

// Goes on reading until `count` bytes have come or the file ends;
// `readRest(done)` reads what follows the first `done` bytes.
template <class ReadRest>
std::uint64_t ReadOn(std::uint64_t done, std::uint64_t count, const std::string& name,
                     ReadRest readRest) {
    while (done < count) {
        const std::int64_t got = readRest(done);
        if (got < 0)
            throw CFileException(CFileException::kCannotLoad, name);
        if (got == 0)
            break;
        done += static_cast<std::uint64_t>(got);
    }
    return done;
}

} // namespace

CFile::CFile(CDisk& disk_) : disk(disk_) {}

CFile::CFile(CDisk& disk_, const std::string& path, const char* mode) : disk(disk_) {
    if (!Open(path, mode))
        throw CFileException(CFileException::kCannotOpen, path);
}

CFile::~CFile() {
    Close();
}

bool CFile::Open(const std::string& path, const char* mode) {
    Close();
    OpenMode openMode;
    if (mode == nullptr || !ModeFor(mode, openMode))
        return false;
    handle = disk.Open(path, openMode);
    if (handle == nullptr)
        return false;
    name = path;
    open = true;
    writing = openMode != OpenMode::Read;
    return true;
}

void CFile::Close() {
    if (open) {
        if (writing)
            Drain();
        handle->Close();
    }
    handle.reset();
    std::vector<std::uint8_t>().swap(buffer);
    next = 0;
    open = false;
    name.clear();
}

void CFile::Finish() {
    if (!open)
        return;
    const bool drained = !writing || Drain();
    const bool closed = handle->Close();
    open = false;
    std::vector<std::uint8_t>().swap(buffer);
    next = 0;
    std::string subject;
    subject.swap(name);
    if (!drained || !closed)
        throw CFileException(CFileException::kCannotWrite, subject);
}

void CFile::Flush() {
    Require(true, CFileException::kCannotWrite);
    if (!Drain())
        throw CFileException(CFileException::kCannotWrite, name);
}

void CFile::Require(bool writable, std::int32_t code) const {
    if (!open || writing != writable)
        throw CFileException(code, name);
}

bool CFile::Refill() {
    buffer.resize(kReadBufferSize);
    const std::int64_t got = handle->Read(buffer.data(), buffer.size());
    if (got < 0) {
        buffer.clear();
        throw CFileException(CFileException::kCannotLoad, name);
    }
    buffer.resize(static_cast<std::size_t>(got));
    next = 0;
    return got > 0;
}

bool CFile::Drain() {
    const bool written = WriteAll(*handle, buffer.data(), buffer.size());
    buffer.clear();
    return written;
}

std::uint64_t CFile::Read(void* buffer_, std::uint64_t count) {
    Require(false, CFileException::kCannotLoad);
    auto* bytes = static_cast<std::uint8_t*>(buffer_);
    const std::uint64_t buffered = std::min<std::uint64_t>(count, buffer.size() - next);
    if (buffered > 0) {
        std::memcpy(bytes, buffer.data() + next, static_cast<std::size_t>(buffered));
        next += static_cast<std::size_t>(buffered);
    }
    // The rest goes straight into the caller's memory.
    return ReadOn(buffered, count, name,
                  [&](std::uint64_t done) { return handle->Read(bytes + done, count - done); });
}

std::uint64_t CFile::ReadAt(std::int64_t offset, void* buffer_, std::uint64_t count) {
    Require(false, CFileException::kCannotLoad);
    auto* bytes = static_cast<std::uint8_t*>(buffer_);
    return ReadOn(0, count, name, [&](std::uint64_t done) {
        return handle->ReadAt(offset + static_cast<std::int64_t>(done), bytes + done, count - done);
    });
}

std::uint64_t CFile::Write(const void* buffer_, std::uint64_t count) {
    Require(true, CFileException::kCannotWrite);
    if (count == 0)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer_);
    if (count > kWriteBufferSize - buffer.size()) {
        if (!Drain())
            throw CFileException(CFileException::kCannotWrite, name);
        if (count >= kWriteBufferSize) {
            if (!WriteAll(*handle, bytes, count))
                throw CFileException(CFileException::kCannotWrite, name);
            return count;
        }
    }
    if (buffer.capacity() < kWriteBufferSize)
        buffer.reserve(kWriteBufferSize);
    buffer.insert(buffer.end(), bytes, bytes + count);
    return count;
}

std::uint64_t CFile::CopyFrom(CFile& source, std::int64_t offset, std::uint64_t count) {
    Require(true, CFileException::kCannotWrite);
    source.Require(false, CFileException::kCannotLoad);
    if (!Drain())
        throw CFileException(CFileException::kCannotWrite, name);
    const CopyResult result = disk.CopyRange(*source.handle, offset, count, *handle);
    if (result.readFailed)
        throw CFileException(CFileException::kCannotLoad, source.name);
    if (result.writeFailed)
        throw CFileException(CFileException::kCannotWrite, name);
    return result.copied;
}

int CFile::GetChar() {
    Require(false, CFileException::kCannotLoad);
    if (next == buffer.size() && !Refill())
        return -1;
    return buffer[next++];
}

void CFile::PutChar(std::uint8_t byte) {
    Require(true, CFileException::kCannotWrite);
    if (buffer.size() == kWriteBufferSize && !Drain())
        throw CFileException(CFileException::kCannotWrite, name);
    if (buffer.capacity() < kWriteBufferSize)
        buffer.reserve(kWriteBufferSize);
    buffer.push_back(byte);
}

std::int64_t CFile::Seek(std::int64_t offset, int origin) {
    if (!open)
        throw CFileException(CFileException::kCannotSeek, name);
    if (writing) {
        if (!Drain())
            throw CFileException(CFileException::kCannotSeek, name);
    } else {
        // The disk's position is past the bytes still unread.
        if (origin == SEEK_CUR)
            offset -= static_cast<std::int64_t>(buffer.size() - next);
        buffer.clear();
        next = 0;
    }
    const std::int64_t position = handle->Seek(offset, origin);
    if (position < 0)
        throw CFileException(CFileException::kCannotSeek, name);
    return position;
}

std::int64_t CFile::Tell() {
    const std::int64_t position = open ? handle->Seek(0, SEEK_CUR) : -1;
    if (position < 0)
        throw CFileException(CFileException::kCannotSeek, name);
    const auto buffered = static_cast<std::int64_t>(writing ? buffer.size() : buffer.size() - next);
    return writing ? position + buffered : position - buffered;
}

std::int64_t CFile::GetSize() {
    const std::int64_t position = Tell();
    const std::int64_t size = Seek(0, SEEK_END);
    Seek(position, SEEK_SET);
    return size;
}

void CFile::Rewind() {
    if (!open)
        return;
    if (writing)
        Drain();
    buffer.clear();
    next = 0;
    handle->Seek(0, SEEK_SET);
}

bool CFile::GetStatus(FileStatus& status) const {
    return open && handle->GetStatus(status);
}

bool CFile::SetPermissions(std::uint32_t permissions) {
    return open && handle->SetPermissions(permissions);
}

bool CFile::IsAt(const std::string& path) const {
    return handle != nullptr && handle->IsAt(path);
}

} // namespace XALFcl
