// Loads arbitrary bytes as an archive from the memory disk. Any input must
// either load or fail with one of the tool's own exceptions; the sanitizers
// catch everything else. An archive that loads is then listed, gets its
// index header, and is saved again: the saved archive must load into the
// same tree, and saving that once more must give the same bytes.

#include "TrovelRun.h"

#include "arc/ArcEntryVisitor.h"
#include "arc/ArcLoader.h"
#include "arc/ArcSaver.h"
#include "arc/Archive.h"
#include "archiver/IndexCreator.h"
#include "archiver/Lister.h"
#include "fcl/Exception.h"
#include "fcl/MemoryDisk.h"
#include "fcl/Stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Hashes every byte written to it (FNV-1a).
class CHashStream : public XALFcl::COutputStream {
public:
    void Write(const void* buffer, std::uint64_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        for (std::uint64_t i = 0; i < count; ++i)
            hash = (hash ^ bytes[i]) * 0x100000001B3ULL;
    }
    std::uint64_t hash = 0xCBF29CE484222325ULL;

protected:
    void WriteBytes(const std::uint8_t* bytes, int width) override {
        Write(bytes, static_cast<std::uint64_t>(width));
    }
};

// The tree in walk order, every member's bytes read (so that a member whose
// range was not checked against the image is caught here), as one text.
class CTreeText : public XALArc::CArcEntryVisitor {
public:
    void EnterDirectory(XALArc::CDirEntry&) override { text += "{"; }
    void LeaveDirectory(XALArc::CDirEntry&) override { text += "}"; }
    int Visit(XALArc::CArcEntry& entry) override {
        text += entry.name;
        if (XALArc::CFileEntry* file = entry.AsFile()) {
            CHashStream hash;
            file->Store(hash);
            bytes += file->size;
            text += ":" + std::to_string(file->size) + ":" + std::to_string(hash.hash);
        }
        text += "/";
        return 0;
    }
    std::string text;
    std::uint64_t bytes = 0;
};

// Saving copies every member apart, so members sharing one range of a tiny
// input may add up to far more than it; such trees are not saved.
constexpr std::uint64_t kMaxSavedBytes = 16 << 20;

bool Load(XALArc::CArchive& archive, const std::string& path) {
    try {
        XALArc::CArcLoader(archive).Load(path);
        return true;
    } catch (const XALFcl::CException&) {
        return false;
    }
}

std::string TreeText(XALArc::CArchive& archive, std::uint64_t* bytes = nullptr) {
    CTreeText tree;
    archive.Walk(tree);
    if (bytes != nullptr)
        *bytes = tree.bytes;
    return tree.text;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XALFcl::CMemoryDisk disk;
    disk.AddFile("/fuzz.kpak", std::string(reinterpret_cast<const char*>(data), size));
    for (bool sorted : {false, true}) {
        XALArc::CArchive archive(sorted, disk);
        const bool loaded = Load(archive, "/fuzz.kpak");
        std::uint64_t bytes = 0;
        const std::string tree = TreeText(archive, &bytes);
        if (!loaded || sorted)
            continue;
        {
            CCapture capture;
            XALArchiver::CLister(archive).PrintListing();
        }
        try {
            XALArchiver::CIndexCreator(archive, "/fuzz.kpix", "KPAK_", true).WriteHeader();
        } catch (const XALFcl::CException&) {
            // A name table may name nothing that a header can hold.
        }
        if (bytes > kMaxSavedBytes)
            continue;
        try {
            XALArc::CArcSaver(archive, 4, true, false).Save("/again.kpak");
        } catch (const XALFcl::CException&) {
            // The tree may break a limit that only saving checks.
            continue;
        }
        XALArc::CArchive again(false, disk);
        Check(Load(again, "/again.kpak"));
        Check(TreeText(again) == tree);
        XALArc::CArcSaver(again, 4, true, false).Save("/third.kpak");
        Check(disk.Contents("/third.kpak") == disk.Contents("/again.kpak"));
    }
    return 0;
}
