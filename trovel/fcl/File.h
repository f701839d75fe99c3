#pragma once

#include "fcl/Disk.h"
#include "fcl/RawAllocator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace XALFcl {

// An owned, buffered file of a disk whose I/O errors become CFileException
// carrying the file's name: kCannotOpen, kCannotLoad (read), kCannotWrite,
// kCannotSeek. End of file is no error. A file is open either for reading or for writing.
class CFile {
public:
    explicit CFile(CDisk& disk);
    // Opens the file; a failure throws kCannotOpen with `path`.
    CFile(CDisk& disk, const std::string& path, const char* mode);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Closes any open file first. Modes: "rb"/"r" read a regular file only,
    // "wb"/"w" create or truncate (never waiting for a FIFO's reader),
    // "wbx"/"wx" create a new file (never through a link), "wbl"/"wl" create
    // a new owner-only file locked against other processes, replacing a dead
    // writer's leftover (OpenMode::CreateLocked). False on failure or an
    // unknown mode, leaving it closed.
    bool Open(const std::string& path, const char* mode);
    // Opens `name` of the open directory `directory` for reading ("rb"),
    // under the name `path`; without a directory, opens `path`.
    bool OpenIn(CDiskDirectory* directory, const std::string& name, const std::string& path);
    // Closes without checking (the destructor's path); buffered bytes are
    // written first as far as they can be, and a lock goes with the file.
    void Close();
    // Writes what is buffered and closes, checked: a failure throws kCannotWrite
    // after the file has been closed anyway. A lock lasts until Close, Open
    // or the end of this object.
    void Finish();
    // Hands what is buffered to the disk; kCannotWrite on failure.
    void Flush();

    std::uint64_t Read(void* buffer, std::uint64_t count);
    // Reads at an absolute offset, bypassing the buffer and the position;
    // fewer than `count` bytes only at the end of the file. Once `enough`
    // bytes have come, a read that brings fewer than asked ends it too (a
    // regular file ends there), as in CopyFrom.
    std::uint64_t ReadAt(std::int64_t offset, void* buffer, std::uint64_t count,
                         std::uint64_t enough = UINT64_MAX);
    std::uint64_t Write(const void* buffer, std::uint64_t count);
    // Appends up to `count` bytes from `offset` of `source` (open for
    // reading), fewer only where it ends; a read error throws kCannotLoad naming
    // `source`, a write error kCannotWrite. Returns the number copied. The
    // bytes are read straight into this file's write buffer, so copies of
    // small files still leave in large writes. Once `enough` bytes are
    // copied, a read that brings fewer than asked ends the copy too (a
    // regular file ends there), sparing the read that would find the end.
    std::uint64_t CopyFrom(CFile& source, std::int64_t offset, std::uint64_t count,
                           std::uint64_t enough = UINT64_MAX);
    // The same from an open disk file; errors reading it name `sourceName`.
    std::uint64_t CopyFrom(CDiskFile& source, const char* sourceName, std::int64_t offset,
                           std::uint64_t count, std::uint64_t enough = UINT64_MAX);
    // The next byte (0..255), or -1 at end of file.
    int GetChar();
    void PutChar(std::uint8_t byte);
    // The bytes as PutChar would put them one after another: the buffer goes
    // to the disk only when a byte finds it full.
    void PutBytes(const std::uint8_t* bytes, std::size_t count);
    // Origins SEEK_SET, SEEK_CUR, SEEK_END; returns the new position.
    std::int64_t Seek(std::int64_t offset, int origin);
    std::int64_t Tell();
    // The file's length; the position stays where it was.
    std::int64_t GetSize();
    // Back to the start; errors are not reported.
    void Rewind();

    // Of the open file (bytes still buffered not counted); false when the
    // status cannot be had.
    bool GetStatus(FileStatus& status) const;
    bool SetPermissions(std::uint32_t permissions);
    // Whether `path` itself still names this file (after Finish, only for
    // mode "wbl").
    bool IsAt(const std::string& path) const;

    bool IsOpen() const { return open_; }
    const std::string& GetName() const { return name_; }
    CDisk& GetDisk() const { return disk_; }

private:
    // Reading: refills the empty buffer; false at the end of the file.
    bool Refill();
    // Writing: hands the buffered bytes to the disk; false on an error.
    bool Drain();
    // Writing: grows the buffer for `count` more bytes, up to its full size.
    void Reserve(std::uint64_t count);
    void Require(bool writable, std::int32_t code) const;

    CDisk& disk_;
    // Kept after Finish while it may hold a lock.
    std::unique_ptr<CDiskFile> handle_;
    std::string name_; // empty while closed
    bool open_ = false;
    bool writing_ = false;
    // Reading: the bytes [next_, buffer_.size()) are still unread. Writing:
    // the bytes [0, next_) are not yet handed to the disk. Allocated on first
    // use.
    std::vector<std::uint8_t, CRawAllocator<std::uint8_t>> buffer_;
    std::size_t next_ = 0;
};

// Reads at an absolute offset of an open disk file as CFile::ReadAt does; a
// read error throws kCannotLoad naming `name`.
std::uint64_t ReadFileAt(CDiskFile& file, const char* name, std::int64_t offset, void* buffer,
                         std::uint64_t count, std::uint64_t enough = UINT64_MAX);

// Owns an open disk file and closes it (unchecked) before it goes, as CFile
// does with its own.
class CDiskFileCloser {
public:
    explicit CDiskFileCloser(std::unique_ptr<CDiskFile> file = nullptr) : file_(std::move(file)) {}
    CDiskFileCloser(CDiskFileCloser&& other) noexcept = default;
    CDiskFileCloser& operator=(CDiskFileCloser&& other) noexcept {
        CloseFile();
        file_ = std::move(other.file_);
        return *this;
    }
    ~CDiskFileCloser() { CloseFile(); }

    CDiskFile* get() const { return file_.get(); }
    CDiskFile* operator->() const { return file_.get(); }
    // The file passes to the caller, still open.
    std::unique_ptr<CDiskFile> Release() { return std::move(file_); }

private:
    void CloseFile() {
        if (file_ != nullptr)
            file_->Close();
        file_.reset();
    }

    std::unique_ptr<CDiskFile> file_;
};

} // namespace XALFcl
