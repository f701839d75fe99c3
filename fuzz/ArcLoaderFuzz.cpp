// Loads arbitrary bytes as an archive. Any input must either load or fail
// with one of the tool's own exceptions; the sanitizers catch everything else.

#include "arc/ArcEntryVisitor.h"
#include "arc/ArcLoader.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace {

// Reads every byte of every loaded member, so that a member pointing at
// bytes it does not own is caught here rather than later.
class CTouchEveryByte : public XALArc::CArcEntryVisitor {
public:
    int Visit(XALArc::CArcEntry& entry) override {
        if (XALArc::CFileEntry* file = entry.AsFile()) {
            for (std::uint64_t i = 0; i < file->size; ++i)
                sum += file->Data()[i];
        }
        return 0;
    }
    std::uint32_t sum = 0;
};

// A file of its own in the temporary folder, removed when the run ends.
struct CTempArchive {
    CTempArchive() {
        std::random_device random;
        path = (std::filesystem::temp_directory_path()
                / ("trovel-fuzz-" + std::to_string(random()) + ".kpak"))
                   .string();
    }
    ~CTempArchive() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    std::string path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CTempArchive archiveFile;
    const std::string& path = archiveFile.path;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (bool sorted : {false, true}) {
        XALArc::CArchive archive(sorted);
        XALArc::CArcLoader loader(archive);
        try {
            loader.Load(path);
        } catch (const XALFcl::CException&) {
        }
        CTouchEveryByte touch;
        archive.Walk(touch);
    }
    return 0;
}
