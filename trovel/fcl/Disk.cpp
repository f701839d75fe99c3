#include "fcl/Disk.h"

#include "fcl/Arena.h"

#include <algorithm>

namespace XALFcl {

namespace {

// Bytes moved per step of a range copy.
constexpr std::uint64_t kCopyChunk = std::uint64_t{128} << 10;

} // namespace

CDiskFile::~CDiskFile() = default;

CDiskDirectory::~CDiskDirectory() = default;

std::unique_ptr<CDiskFile> CDiskDirectory::OpenFileIn(CArena&, const std::string& name) {
    return OpenFile(name);
}

CDisk::~CDisk() = default;

CopyResult CDisk::CopyRange(CDiskFile& from, std::int64_t offset, std::uint64_t count,
                            CDiskFile& to) {
    CopyResult result;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min(count, kCopyChunk)));
    while (result.copied < count) {
        const std::uint64_t want = std::min<std::uint64_t>(count - result.copied, chunk.size());
        const std::int64_t got =
            from.ReadAt(offset + static_cast<std::int64_t>(result.copied), chunk.data(), want);
        if (got < 0) {
            result.readFailed = true;
            break;
        }
        if (got == 0)
            break;
        if (!WriteAll(to, chunk.data(), static_cast<std::uint64_t>(got))) {
            result.writeFailed = true;
            break;
        }
        result.copied += static_cast<std::uint64_t>(got);
    }
    return result;
}

bool CDisk::HoldOpenFile() {
    if (held_ >= OpenFileLimit())
        return false;
    ++held_;
    return true;
}

void CDisk::ReleaseOpenFile() {
    --held_;
}

bool WriteAll(CDiskFile& file, const void* buffer, std::uint64_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::uint64_t done = 0; done < count;) {
        const std::int64_t written = file.Write(bytes + done, count - done);
        if (written <= 0)
            return false;
        done += static_cast<std::uint64_t>(written);
    }
    return true;
}

} // namespace XALFcl
