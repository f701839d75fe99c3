// Loads arbitrary bytes as an archive from the memory disk. Any input must
// either load or fail with one of the tool's own exceptions; the sanitizers
// catch everything else.

#include "arc/ArcEntryVisitor.h"
#include "arc/ArcLoader.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"
#include "fcl/Stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Sums every byte written to it.
class CSumStream : public XALFcl::COutputStream {
public:
    void Write(const void* buffer, std::uint64_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        for (std::uint64_t i = 0; i < count; ++i)
            sum += bytes[i];
    }
    std::uint32_t sum = 0;

protected:
    void WriteBytes(const std::uint8_t* bytes, int width) override {
        Write(bytes, static_cast<std::uint64_t>(width));
    }
};

// Reads every byte of every loaded member, so that a member whose range was
// not checked against the image is caught here rather than later.
class CTouchEveryByte : public XALArc::CArcEntryVisitor {
public:
    int Visit(XALArc::CArcEntry& entry) override {
        if (XALArc::CFileEntry* file = entry.AsFile())
            file->Store(sum);
        return 0;
    }
    CSumStream sum;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XALFcl::CMemoryDisk disk;
    disk.AddFile("/fuzz.kpak", std::string(reinterpret_cast<const char*>(data), size));
    for (bool sorted : {false, true}) {
        XALArc::CArchive archive(sorted, disk);
        XALArc::CArcLoader loader(archive);
        try {
            loader.Load("/fuzz.kpak");
        } catch (const XALFcl::CException&) {
        }
        CTouchEveryByte touch;
        archive.Walk(touch);
    }
    return 0;
}
