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
// Small writes and range copies are gathered into transfers of this size;
// larger writes go to the disk directly. 128 KiB copies as fast as larger
// pieces here, as it does for cat.
constexpr std::size_t kWriteBufferSize = std::size_t{128} << 10;

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
// Once `enough` bytes have come, a read that brings fewer than asked ends
// it as well.
template <class ReadRest>
std::uint64_t ReadOn(std::uint64_t done, std::uint64_t count, const char* name, ReadRest readRest,
                     std::uint64_t enough = UINT64_MAX) {
    while (done < count) {
        const std::int64_t got = readRest(done);
        if (got < 0)
            throw CFileException(CFileException::kCannotLoad, name);
        if (got == 0)
            break;
        const std::uint64_t asked = count - done;
        done += static_cast<std::uint64_t>(got);
        if (done >= enough && static_cast<std::uint64_t>(got) < asked)
            break;
    }
    return done;
}

} // namespace

CFile::CFile(CDisk& disk_) : disk_(disk_) {}

CFile::CFile(CDisk& disk_, const std::string& path, const char* mode) : disk_(disk_) {
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
    handle_ = disk_.Open(path, openMode);
    if (handle_ == nullptr)
        return false;
    name_ = path;
    open_ = true;
    writing_ = openMode != OpenMode::Read;
    return true;
}

bool CFile::OpenIn(CDiskDirectory* directory, const std::string& name, const std::string& path) {
    if (directory == nullptr)
        return Open(path, "rb");
    Close();
    handle_ = directory->OpenFile(name);
    if (handle_ == nullptr)
        return false;
    name_ = path;
    open_ = true;
    writing_ = false;
    return true;
}

void CFile::Close() {
    if (open_) {
        if (writing_)
            Drain();
        handle_->Close();
    }
    handle_.reset();
    decltype(buffer_)().swap(buffer_);
    next_ = 0;
    open_ = false;
    name_.clear();
}

void CFile::Finish() {
    if (!open_)
        return;
    const bool drained = !writing_ || Drain();
    const bool closed = handle_->Close();
    open_ = false;
    decltype(buffer_)().swap(buffer_);
    next_ = 0;
    std::string subject;
    subject.swap(name_);
    if (!drained || !closed)
        throw CFileException(CFileException::kCannotWrite, subject);
}

void CFile::Flush() {
    Require(true, CFileException::kCannotWrite);
    if (!Drain())
        throw CFileException(CFileException::kCannotWrite, name_);
}

void CFile::Require(bool writable, std::int32_t code) const {
    if (!open_ || writing_ != writable)
        throw CFileException(code, name_);
}

bool CFile::Refill() {
    buffer_.resize(kReadBufferSize);
    const std::int64_t got = handle_->Read(buffer_.data(), buffer_.size());
    if (got < 0) {
        buffer_.clear();
        throw CFileException(CFileException::kCannotLoad, name_);
    }
    buffer_.resize(static_cast<std::size_t>(got));
    next_ = 0;
    return got > 0;
}

bool CFile::Drain() {
    const bool written = WriteAll(*handle_, buffer_.data(), next_);
    next_ = 0;
    return written;
}

// The buffer grows with what a file writes, so that a small file never pays
// for clearing a large one.
void CFile::Reserve(std::uint64_t count) {
    const std::uint64_t wanted = std::min<std::uint64_t>(next_ + count, kWriteBufferSize);
    if (buffer_.size() < wanted)
        buffer_.resize(static_cast<std::size_t>(
            std::max<std::uint64_t>(wanted, std::min(2 * buffer_.size(), kWriteBufferSize))));
}

std::uint64_t CFile::Read(void* data, std::uint64_t count) {
    Require(false, CFileException::kCannotLoad);
    auto* bytes = static_cast<std::uint8_t*>(data);
    const std::uint64_t buffered = std::min<std::uint64_t>(count, buffer_.size() - next_);
    if (buffered > 0) {
        std::memcpy(bytes, buffer_.data() + next_, static_cast<std::size_t>(buffered));
        next_ += static_cast<std::size_t>(buffered);
    }
    // The rest goes straight into the caller's memory.
    return ReadOn(buffered, count, name_.c_str(),
                  [&](std::uint64_t done) { return handle_->Read(bytes + done, count - done); });
}

std::uint64_t CFile::ReadAt(std::int64_t offset, void* data, std::uint64_t count,
                            std::uint64_t enough) {
    Require(false, CFileException::kCannotLoad);
    return ReadFileAt(*handle_, name_.c_str(), offset, data, count, enough);
}

std::uint64_t ReadFileAt(CDiskFile& file, const char* name, std::int64_t offset, void* data,
                         std::uint64_t count, std::uint64_t enough) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    return ReadOn(
        0, count, name,
        [&](std::uint64_t done) {
            return file.ReadAt(offset + static_cast<std::int64_t>(done), bytes + done,
                               count - done);
        },
        enough);
}

std::uint64_t CFile::Write(const void* data, std::uint64_t count) {
    Require(true, CFileException::kCannotWrite);
    if (count == 0)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (count > kWriteBufferSize - next_) {
        if (!Drain())
            throw CFileException(CFileException::kCannotWrite, name_);
        if (count >= kWriteBufferSize) {
            if (!WriteAll(*handle_, bytes, count))
                throw CFileException(CFileException::kCannotWrite, name_);
            return count;
        }
    }
    Reserve(count);
    std::memcpy(buffer_.data() + next_, bytes, static_cast<std::size_t>(count));
    next_ += static_cast<std::size_t>(count);
    return count;
}

std::uint64_t CFile::CopyFrom(CFile& source, std::int64_t offset, std::uint64_t count,
                              std::uint64_t enough) {
    Require(true, CFileException::kCannotWrite);
    source.Require(false, CFileException::kCannotLoad);
    return CopyFrom(*source.handle_, source.name_.c_str(), offset, count, enough);
}

std::uint64_t CFile::CopyFrom(CDiskFile& source, const char* sourceName, std::int64_t offset,
                              std::uint64_t count, std::uint64_t enough) {
    Require(true, CFileException::kCannotWrite);
    std::uint64_t copied = 0;
    while (copied < count) {
        if (next_ == kWriteBufferSize && !Drain())
            throw CFileException(CFileException::kCannotWrite, name_);
        Reserve(count - copied);
        const std::uint64_t want = std::min<std::uint64_t>(count - copied, buffer_.size() - next_);
        const std::int64_t got =
            source.ReadAt(offset + static_cast<std::int64_t>(copied), buffer_.data() + next_, want);
        if (got < 0)
            throw CFileException(CFileException::kCannotLoad, sourceName);
        if (got == 0)
            break;
        next_ += static_cast<std::size_t>(got);
        copied += static_cast<std::uint64_t>(got);
        if (copied >= enough && static_cast<std::uint64_t>(got) < want)
            break;
    }
    return copied;
}

int CFile::GetChar() {
    Require(false, CFileException::kCannotLoad);
    if (next_ == buffer_.size() && !Refill())
        return -1;
    return buffer_[next_++];
}

void CFile::PutChar(std::uint8_t byte) {
    Require(true, CFileException::kCannotWrite);
    if (next_ == kWriteBufferSize && !Drain())
        throw CFileException(CFileException::kCannotWrite, name_);
    Reserve(1);
    buffer_[next_++] = byte;
}

void CFile::PutBytes(const std::uint8_t* bytes, std::size_t count) {
    Require(true, CFileException::kCannotWrite);
    if (count > kWriteBufferSize - next_) {
        for (std::size_t i = 0; i < count; ++i)
            PutChar(bytes[i]);
        return;
    }
    Reserve(count);
    std::memcpy(buffer_.data() + next_, bytes, count);
    next_ += count;
}

std::int64_t CFile::Seek(std::int64_t offset, int origin) {
    if (!open_)
        throw CFileException(CFileException::kCannotSeek, name_);
    if (writing_) {
        if (!Drain())
            throw CFileException(CFileException::kCannotSeek, name_);
    } else {
        // The disk's position is past the bytes still unread.
        if (origin == SEEK_CUR)
            offset -= static_cast<std::int64_t>(buffer_.size() - next_);
        buffer_.clear();
        next_ = 0;
    }
    const std::int64_t position = handle_->Seek(offset, origin);
    if (position < 0)
        throw CFileException(CFileException::kCannotSeek, name_);
    return position;
}

std::int64_t CFile::Tell() {
    const std::int64_t position = open_ ? handle_->Seek(0, SEEK_CUR) : -1;
    if (position < 0)
        throw CFileException(CFileException::kCannotSeek, name_);
    const auto buffered = static_cast<std::int64_t>(writing_ ? next_ : buffer_.size() - next_);
    return writing_ ? position + buffered : position - buffered;
}

std::int64_t CFile::GetSize() {
    const std::int64_t position = Tell();
    const std::int64_t size = Seek(0, SEEK_END);
    Seek(position, SEEK_SET);
    return size;
}

void CFile::Rewind() {
    if (!open_)
        return;
    if (writing_)
        Drain();
    buffer_.clear();
    next_ = 0;
    handle_->Seek(0, SEEK_SET);
}

bool CFile::GetStatus(FileStatus& status) const {
    return open_ && handle_->GetStatus(status);
}

bool CFile::SetPermissions(std::uint32_t permissions) {
    return open_ && handle_->SetPermissions(permissions);
}

bool CFile::IsAt(const std::string& path) const {
    return handle_ != nullptr && handle_->IsAt(path);
}

} // namespace XALFcl
