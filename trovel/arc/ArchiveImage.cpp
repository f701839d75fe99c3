#include "arc/ArchiveImage.h"

#include "fcl/Exception.h"
#include "fcl/FileStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace XALArc {

CArchiveImage::CArchiveImage(std::unique_ptr<XALFcl::CFileInputStream> file, std::int64_t offset)
    : file_(std::move(file)), offset_(offset), name_(file_->GetFile().GetName()) {}

CArchiveImage::~CArchiveImage() = default;

void CArchiveImage::Close() {
    file_.reset();
    std::vector<std::uint8_t>().swap(window_);
    std::vector<std::uint8_t>().swap(chunk_);
    windowStart_ = 0;
    windowLength_ = 0;
}

XALFcl::CFile& CArchiveImage::File() {
    if (!file_)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, name_);
    return file_->GetFile();
}

void CArchiveImage::CopyTo(XALFcl::COutputStream& out, std::uint64_t start, std::uint64_t count) {
    if (count == 0)
        return;
    if (chunk_.size() < std::min(count, kChunkSize))
        chunk_.resize(static_cast<std::size_t>(std::min(count, kChunkSize)));
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t n = std::min<std::uint64_t>(count - done, chunk_.size());
        Read(start + done, chunk_.data(), n);
        out.Write(chunk_.data(), n);
        done += n;
    }
}

namespace {

constexpr std::uint64_t kWindowSize = std::uint64_t{128} << 10;
// Larger ranges are read where they are.
constexpr std::uint64_t kWindowedMaximum = kWindowSize / 4;

} // namespace

const std::uint8_t* CArchiveImage::FromWindow(std::uint64_t start, std::uint64_t count) {
    if (count > kWindowedMaximum)
        return nullptr;
    if (start < windowStart_ || count > windowLength_
        || start - windowStart_ > windowLength_ - count) {
        XALFcl::CFile& file = File();
        window_.resize(static_cast<std::size_t>(kWindowSize));
        windowLength_ = 0;
        windowStart_ = start;
        windowLength_ =
            file.ReadAt(offset_ + static_cast<std::int64_t>(start), window_.data(), kWindowSize);
        if (windowLength_ < count)
            throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, file.GetName());
    }
    return window_.data() + (start - windowStart_);
}

void CArchiveImage::CopyTo(XALFcl::CFile& out, std::uint64_t start, std::uint64_t count) {
    if (const std::uint8_t* bytes = FromWindow(start, count)) {
        out.Write(bytes, count);
        return;
    }
    XALFcl::CFile& file = File();
    if (out.CopyFrom(file, offset_ + static_cast<std::int64_t>(start), count) != count)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, file.GetName());
}

// The loader checked every range against the image, which lay inside the
// file: a read that comes back short means the file changed after loading,
// and the missing bytes must never pass for contents.
void CArchiveImage::Read(std::uint64_t start, void* buffer, std::uint64_t count) {
    if (const std::uint8_t* bytes = FromWindow(start, count)) {
        std::memcpy(buffer, bytes, static_cast<std::size_t>(count));
        return;
    }
    XALFcl::CFile& file = File();
    if (file.ReadAt(offset_ + static_cast<std::int64_t>(start), buffer, count) != count)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, file.GetName());
}

} // namespace XALArc
