#include "arc/ArcLoader.h"

#include "arc/ArcEntry.h"
#include "arc/ArcException.h"
#include "arc/ArcFormat.h"
#include "arc/Archive.h"
#include "arc/ArchiveImage.h"
#include "fcl/Exception.h"
#include "fcl/FileStream.h"
#include "fcl/MemoryStream.h"
#include "fcl/PathTokenizer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace XALArc {

namespace {

using Buffer = std::vector<std::uint8_t>;
namespace Format = ArcFormat;

// Where the allocation table's records start in the block's contents.
constexpr std::uint64_t kFatRecordsOffset = Format::kFatHeaderSize - Format::kBlockHeaderSize;

[[noreturn]] void Invalid(const std::string& archivePath) {
    throw CArcException(CArcException::kInvalidArchive, archivePath);
}

struct Header {
    bool bigEndian;
    std::uint16_t headerSize;
    std::uint16_t blockCount;
};

// Where the contents of a block (the bytes after its 8-byte header) lie.
struct BlockExtent {
    bool seen = false;
    std::int64_t offset = 0;
    std::uint64_t size = 0;
};

struct BlockExtents {
    BlockExtent fat;
    BlockExtent names;
    BlockExtent image;
};

// The contents of the two blocks that describe the tree. The file image is
// not read: members refer to their ranges of it in the archive file.
struct Blocks {
    Buffer fat;
    Buffer names;
};

// One entry to create. Directories are numbered in the order they are met,
// the root being 0; a name is a range of the name-table data.
struct CreateStep {
    bool isDirectory;
    std::size_t parent;
    std::size_t nameOffset;
    std::size_t nameLength;
    std::uint32_t start;
    std::uint32_t end;
};

// A directory whose sub-table is being read.
struct OpenDirectory {
    std::size_t number;
    std::uint64_t cursor;
    std::uint16_t fileId;
};

// The outcome of checking the name table: every entry to create, in the
// order of a depth-first walk that enters a subdirectory where it is listed.
struct Plan {
    std::vector<CreateStep> steps;
    bool namesEveryFile = false;
};

Header ReadHeader(XALFcl::CFileInputStream& in, const std::string& archivePath) {
    in.littleEndian = 0;
    if (in.ReadU32() != Format::kMagic)
        throw CArcException(CArcException::kNotArchive, archivePath);
    Header header{};
    header.bigEndian = in.ReadU16() == Format::kByteOrderMark;
    in.littleEndian = header.bigEndian ? 0 : 1;
    // The version and the file size field are informational only.
    in.Skip(Format::kHeaderSizeOffset - Format::kVersionOffset);
    header.headerSize = in.ReadU16();
    header.blockCount = in.ReadU16();
    return header;
}

// Measures every block against the real length of the file before anything
// is allocated. A later block of a kind replaces an earlier one; blocks of
// other kinds are passed over.
BlockExtents FindBlocks(XALFcl::CFileInputStream& in, const Header& header,
                        const std::string& archivePath) {
    const std::int64_t length = in.GetSize();
    BlockExtents blocks;
    std::int64_t position = header.headerSize;
    for (std::uint32_t i = 0; i < header.blockCount; ++i) {
        if (position > length || length - position < Format::kBlockHeaderSize)
            Invalid(archivePath);
        in.Seek(position, SEEK_SET);
        const std::uint32_t kind = in.ReadU32();
        const std::uint32_t size = in.ReadU32();
        if (size < Format::kBlockHeaderSize || size > length - position)
            Invalid(archivePath);
        BlockExtent* extent = kind == Format::kKindFat ? &blocks.fat
            : kind == Format::kKindNames               ? &blocks.names
            : kind == Format::kKindImage               ? &blocks.image
                                                       : nullptr;
        if (extent != nullptr)
            *extent = {true, position + Format::kBlockHeaderSize, size - Format::kBlockHeaderSize};
        position += size;
    }
    if (!blocks.names.seen)
        throw CArcException(CArcException::kNoNameTable, archivePath);
    if (!blocks.fat.seen || !blocks.image.seen)
        Invalid(archivePath);
    return blocks;
}

void ReadBlock(XALFcl::CFileInputStream& in, const BlockExtent& extent, Buffer& buffer) {
    buffer.resize(static_cast<std::size_t>(extent.size));
    in.Seek(extent.offset, SEEK_SET);
    in.Read(buffer.data(), extent.size);
}

Blocks ReadBlocks(XALFcl::CFileInputStream& in, const BlockExtents& extents,
                  const std::string& archivePath) {
    Blocks blocks;
    ReadBlock(in, extents.fat, blocks.fat);
    ReadBlock(in, extents.names, blocks.names);
    // Every block lies inside the file as measured; a short read means the
    // file changed under us, and its bytes must not be trusted.
    if (in.state & XALFcl::CIosBase::kEndOfData)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, archivePath);
    return blocks;
}

bool IsValidName(const std::uint8_t* name, std::size_t length) {
    if (length == 0)
        return false;
    if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))
        return false;
    return std::memchr(name, '/', length) == nullptr && std::memchr(name, 0, length) == nullptr;
}

// Walks the name table from the root without creating anything and refuses
// any structure that cannot be read safely. The walk keeps its own stack;
// every directory is entered at most once, so it ends.
class CNameTableCheck {
public:
    CNameTableCheck(const Blocks& blocks, std::uint64_t imageSize, bool bigEndian,
                    const std::string& archivePath)
        : names_(blocks.names), fatSize_(blocks.fat.size()), imageSize_(imageSize),
          path_(archivePath), fat_(blocks.fat.data(), static_cast<std::int64_t>(blocks.fat.size())),
          table_(blocks.names.data(), static_cast<std::int64_t>(blocks.names.size())) {
        fat_.littleEndian = bigEndian ? 0 : 1;
        table_.littleEndian = bigEndian ? 0 : 1;
    }

    Plan Run() {
        const std::uint16_t fileCount = fat_.ReadU16();
        named_.assign(fileCount, false);
        Enter(Format::kRootDirectoryId, 0);
        while (!open_.empty())
            Step();
        Plan plan;
        plan.steps.swap(steps_);
        plan.namesEveryFile = namedCount_ == fileCount;
        return plan;
    }

private:
    void Enter(std::uint32_t dirId, std::size_t number) {
        if (dirId < Format::kRootDirectoryId)
            Invalid(path_);
        const std::uint32_t index = dirId - Format::kRootDirectoryId;
        const std::uint64_t record = Format::kDirectoryEntrySize * index;
        if (index >= Format::kMaxDirectories || record + Format::kDirectoryEntrySize > names_.size()
            || visited_[index])
            Invalid(path_);
        visited_[index] = true;
        table_.Seek(static_cast<std::int64_t>(record), SEEK_SET);
        const std::uint32_t subTable = table_.ReadU32();
        const std::uint16_t firstFileId = table_.ReadU16();
        open_.push_back({number, subTable, firstFileId});
    }

    // Reads one entry of the innermost open sub-table.
    void Step() {
        const std::uint64_t size = names_.size();
        OpenDirectory& dir = open_.back();
        if (dir.cursor >= size)
            Invalid(path_);
        const std::uint8_t head = names_[static_cast<std::size_t>(dir.cursor++)];
        if (head == Format::kSubTableEnd) {
            open_.pop_back();
            return;
        }
        const std::size_t length = head & Format::kNameLengthMask;
        if (length > size - dir.cursor)
            Invalid(path_);
        const auto nameOffset = static_cast<std::size_t>(dir.cursor);
        dir.cursor += length;
        if (!IsValidName(names_.data() + nameOffset, length))
            Invalid(path_);
        if (head & Format::kSubdirectoryFlag) {
            if (size - dir.cursor < Format::kSubdirectoryIdSize)
                Invalid(path_);
            table_.Seek(static_cast<std::int64_t>(dir.cursor), SEEK_SET);
            const std::uint16_t subId = table_.ReadU16();
            dir.cursor += Format::kSubdirectoryIdSize;
            const std::size_t number = ++directoryCount_;
            steps_.push_back({true, dir.number, nameOffset, length, 0, 0});
            Enter(subId, number);
            return;
        }
        if (++fileEntries_ > Format::kMaxFiles)
            Invalid(path_);
        // File IDs are 16-bit and run on from the directory's first one.
        const std::uint16_t fileId = dir.fileId++;
        const std::uint64_t record = kFatRecordsOffset + Format::kFatRecordSize * fileId;
        if (record + Format::kFatRecordSize > fatSize_)
            Invalid(path_);
        fat_.Seek(static_cast<std::int64_t>(record), SEEK_SET);
        const std::uint32_t start = fat_.ReadU32();
        const std::uint32_t end = fat_.ReadU32();
        if (end < start || end > imageSize_)
            Invalid(path_);
        if (fileId < named_.size() && !named_[fileId]) {
            named_[fileId] = true;
            ++namedCount_;
        }
        steps_.push_back({false, dir.number, nameOffset, length, start, end});
    }

    const Buffer& names_;
    const std::uint64_t fatSize_;
    const std::uint64_t imageSize_;
    const std::string& path_;
    XALFcl::CMemoryInputStream fat_;
    XALFcl::CMemoryInputStream table_;
    std::vector<OpenDirectory> open_;
    std::vector<bool> visited_ = std::vector<bool>(Format::kMaxDirectories, false);
    std::vector<bool> named_;
    std::uint32_t namedCount_ = 0;
    std::uint32_t fileEntries_ = 0;
    std::size_t directoryCount_ = 0;
    std::vector<CreateStep> steps_;
};

// Entries are appended in stored order while loading; the tree's own sort
// rule comes back afterwards, also when the load fails halfway.
class CStoredOrder {
public:
    explicit CStoredOrder(CDirEntry& root) : root_(root), sorted_(root.sorted) {
        root_.ApplySortRule(false);
    }
    ~CStoredOrder() { root_.ApplySortRule(sorted_); }
    CStoredOrder(const CStoredOrder&) = delete;
    CStoredOrder& operator=(const CStoredOrder&) = delete;

private:
    CDirEntry& root_;
    const bool sorted_;
};

// Creates the planned entries through the tree, which merges names that
// differ only in letter case and raises its own errors on conflicts. Files
// refer to their ranges of the image; none of their bytes is read here.
void CreateEntries(CArchive& archive, const Plan& plan, const Blocks& blocks,
                   const std::shared_ptr<CArchiveImage>& image) {
    CStoredOrder order(archive.root);
    std::vector<CDirEntry*> directories{&archive.root};
    for (const CreateStep& step : plan.steps) {
        const std::string name(reinterpret_cast<const char*>(blocks.names.data()) + step.nameOffset,
                               step.nameLength);
        XALFcl::CPathTokenizer component(name, 0, '/');
        CDirEntry* parent = directories[step.parent];
        if (step.isDirectory) {
            directories.push_back(parent->MakeDirectoryPath(component, name));
            continue;
        }
        CFileEntry* file = parent->MakeFilePath(component, name);
        file->Refer(image, step.start, step.end - step.start);
    }
}

} // namespace

CArcLoader::CArcLoader(CArchive& archive) : archive_(archive) {}

void CArcLoader::Load(const std::string& archivePath) {
    namesEveryFile_ = false;
    auto in = std::make_unique<XALFcl::CFileInputStream>(archive_.disk, archivePath);
    const Header header = ReadHeader(*in, archivePath);
    const BlockExtents extents = FindBlocks(*in, header, archivePath);
    const Blocks blocks = ReadBlocks(*in, extents, archivePath);
    const Plan plan =
        CNameTableCheck(blocks, extents.image.size, header.bigEndian, archivePath).Run();
    // The members read their bytes through the very file that was checked,
    // which stays open as long as any of them refers to it.
    const auto image = std::make_shared<CArchiveImage>(std::move(in), extents.image.offset);
    CreateEntries(archive_, plan, blocks, image);
    namesEveryFile_ = plan.namesEveryFile;
}

} // namespace XALArc
