#include "arc/ArcSaver.h"

#include "arc/ArcEntry.h"
#include "arc/ArcEntryVisitor.h"
#include "arc/ArcException.h"
#include "arc/ArcFormat.h"
#include "arc/Archive.h"
#include "arc/ReadAhead.h"
#include "fcl/Disk.h"
#include "fcl/Exception.h"
#include "fcl/File.h"
#include "fcl/FileStream.h"
#include "fcl/FileSystem.h"
#include "fcl/MemoryStream.h"
#include "fcl/Path.h"
#include "fcl/Platform.h"

#include <limits>
#include <utility>
#include <vector>

namespace XALArc {

using XALFcl::CFileException;

namespace {

namespace Format = ArcFormat;

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

// The absolute archive path of an entry, for messages.
std::string ArchivePathOf(CArcEntry& entry) {
    std::vector<const std::string*> names{&entry.name};
    CDirEntry* dir = entry.IsFile() ? entry.AsFile()->parent : entry.AsDirectory()->parent;
    for (; dir != nullptr && dir->parent != nullptr; dir = dir->parent)
        names.push_back(&dir->name);
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path.append("/").append(**it);
    return path;
}

// A file this save creates under a name that other runs may use too (the
// temporary file, the backup's staging copy), opened with mode "wbl": it
// stays locked until the save ends. Unless kept, it is removed then, but
// only while its name still refers to it: anything else there is not ours.
// It goes while still locked, so that no other run takes it for a dead
// run's leftover meanwhile.
class COwnedSideFile {
public:
    COwnedSideFile(XALFcl::CDisk& disk, const std::string& path)
        : stream_(disk, path, "wbl"), path_(path) {}
    COwnedSideFile(const COwnedSideFile&) = delete;
    COwnedSideFile& operator=(const COwnedSideFile&) = delete;
    ~COwnedSideFile() {
        XALFcl::CFile& file = stream_.GetFile();
        if (!kept_ && file.IsAt(path_))
            file.GetDisk().RemoveFile(path_);
    }

    XALFcl::CFileOutputStream& Stream() { return stream_; }
    // "Cannot write to file." naming the file when its name has been taken
    // from it (renamed away, or replaced by another file).
    void CheckName() {
        if (!stream_.GetFile().IsAt(path_))
            throw CFileException(CFileException::kCannotWrite, path_);
    }
    void Keep() { kept_ = true; }

private:
    XALFcl::CFileOutputStream stream_;
    std::string path_;
    bool kept_ = false;
};

// Copies `from` into a new file `to` with the same permission bits; any
// failure raises CFileException and removes the partial copy.
void CopyFile(XALFcl::CDisk& disk, const std::string& from, const std::string& to) {
    XALFcl::CFile in(disk, from, "rb");
    COwnedSideFile copy(disk, to);
    XALFcl::CFile& out = copy.Stream().GetFile();
    XALFcl::FileStatus source;
    if (!in.GetStatus(source) || !out.SetPermissions(source.permissions))
        throw CFileException(CFileException::kCannotWrite, to);
    out.CopyFrom(in, 0, std::numeric_limits<std::uint64_t>::max());
    out.Finish();
    copy.Keep();
}

// Keeps the archive that is about to be replaced under the backup name: a
// second link to it where the file system allows, a copy elsewhere. It is
// made under the staging name and renamed over the old backup only when
// complete, so that a failure leaves the old backup as it was. Any failure
// is "Cannot write to file." naming the backup name.
void MakeBackup(XALFcl::CDisk& disk, const std::string& archivePath, const std::string& backupName,
                const std::string& stagingName) {
    if (!XALFcl::PathExists(disk, archivePath))
        return;
    // Only a run holding the lock of the archive's temporary file gets here,
    // and archives that share a backup name share the temporary name: what
    // is at the staging name is a dead run's leftover.
    disk.RemoveFile(stagingName);
    // A backup that is a second link to the archive's file (what a save
    // interrupted right after making its backup leaves) already holds it.
    if (XALFcl::SameFile(disk, backupName, archivePath))
        return;
    try {
        if (!disk.HardLink(archivePath, stagingName))
            CopyFile(disk, archivePath, stagingName);
    } catch (const CFileException&) {
        throw CFileException(CFileException::kCannotWrite, backupName);
    }
    if (!disk.RenameReplace(stagingName, backupName)) {
        disk.RemoveFile(stagingName);
        throw CFileException(CFileException::kCannotWrite, backupName);
    }
}

} // namespace

std::string SideFileName(const std::string& archivePath, const char* extension) {
    std::string name = archivePath;
    XALFcl::ReplaceChar(name, '/', XALFcl::Platform::kNativeSeparator);
    return XALFcl::ReplaceExtension(name, extension);
}

void RefuseSideFileOverArchive(XALFcl::CDisk& disk, const std::string& sideName,
                               const std::string& archivePath) {
    if (sideName == archivePath || XALFcl::SameFile(disk, sideName, archivePath))
        throw CArcException(CArcException::kSameFile, sideName);
}

void RefuseBackupOverArchive(XALFcl::CDisk& disk, const std::string& sideName,
                             const std::string& archivePath) {
    XALFcl::FileStatus side;
    if (sideName != archivePath && disk.GetLinkStatus(sideName, side) && !side.isLink
        && side.kind == XALFcl::FileKind::Regular)
        return;
    RefuseSideFileOverArchive(disk, sideName, archivePath);
}

// Counting pass: numbers the tree and sizes every part of the file.
class CArcSaver::CArchiveInfo : public CArcEntryVisitor {
public:
    explicit CArchiveInfo(std::uint64_t alignment_) : alignment(alignment_) {}

    void EnterDirectory(CDirEntry& dir) override {
        dir.id = static_cast<std::uint32_t>(Format::kRootDirectoryId + dirCount);
        ++dirCount;
    }

    int Visit(CArcEntry& entry) override {
        nameBytes += Format::kLengthByteSize + entry.name.size();
        if (longName == nullptr && entry.name.size() > Format::kMaxNameLength)
            longName = &entry;
        if (entry.IsFile()) {
            CFileEntry& file = *entry.AsFile();
            file.id = static_cast<std::uint32_t>(fileCount);
            ++fileCount;
            members.push_back(&file);
            imageSize += AlignUp(file.size, alignment);
        } else {
            // The subdirectory's ID, and the end byte of its own sub-table.
            nameBytes += Format::kSubdirectoryIdSize + Format::kSubTableEndSize;
        }
        return 0;
    }

    std::uint64_t alignment;
    std::uint64_t dirCount = 0;
    std::uint64_t fileCount = 0;
    std::uint64_t imageSize = 0;
    // The root's sub-table end byte is counted from the start.
    std::uint64_t nameBytes = Format::kSubTableEndSize;
    // The first entry, in walk order, whose name does not fit its length byte.
    CArcEntry* longName = nullptr;
    // The files in ID order.
    std::vector<CFileEntry*> members;
};

// The directory table goes straight to the file as directories are entered
// (pre-order is ID order); the name sub-tables are staged in memory and
// follow it.
class CArcSaver::CNameTableWriter : public CArcEntryVisitor {
public:
    CNameTableWriter(XALFcl::COutputStream& file_, XALFcl::COutputStream& names_,
                     std::uint64_t dirCount_)
        : file(file_), names(names_), dirCount(dirCount_),
          subTableOffset(Format::kDirectoryEntrySize * dirCount_) {}

    void EnterDirectory(CDirEntry& dir) override {
        file.WriteU32(static_cast<std::uint32_t>(subTableOffset));
        file.WriteU16(static_cast<std::uint16_t>(nextFileId));
        // The root's entry holds the number of directories instead of a parent.
        const std::uint64_t third = dir.parent != nullptr ? dir.parent->id : dirCount;
        file.WriteU16(static_cast<std::uint16_t>(third));
    }

    void EndOfEntries(CDirEntry&) override {
        names.WriteU8(Format::kSubTableEnd);
        subTableOffset += Format::kSubTableEndSize;
    }

    int Visit(CArcEntry& entry) override {
        const auto length = static_cast<std::uint8_t>(entry.name.size());
        if (entry.IsFile()) {
            names.WriteU8(length);
            names.Write(entry.name.data(), length);
            subTableOffset += Format::kLengthByteSize + length;
            ++nextFileId;
        } else {
            names.WriteU8(length | Format::kSubdirectoryFlag);
            names.Write(entry.name.data(), length);
            names.WriteU16(static_cast<std::uint16_t>(entry.id));
            subTableOffset += Format::kLengthByteSize + length + Format::kSubdirectoryIdSize;
        }
        return 0;
    }

    XALFcl::COutputStream& file;
    XALFcl::COutputStream& names;
    std::uint64_t dirCount;
    std::uint64_t subTableOffset;
    std::uint64_t nextFileId = 0;
};

namespace {

// One allocation-table record per file, in ID order: start and end of its
// contents in the file image, each file starting aligned. The table is
// staged in the stream's byte order and written at once.
void WriteFat(XALFcl::COutputStream& out, const std::vector<CFileEntry*>& members,
              std::uint64_t alignment) {
    std::vector<std::uint8_t> table(Format::kFatRecordSize * members.size());
    std::uint8_t* record = table.data();
    const auto put = [&](std::uint64_t value) {
        out.Emit(static_cast<std::uint32_t>(value), 4, record);
        record += 4;
    };
    std::uint64_t offset = 0;
    for (const CFileEntry* member : members) {
        put(offset);
        put(offset + member->size);
        offset += AlignUp(member->size, alignment);
    }
    out.Write(table.data(), table.size());
}

} // namespace

// File offsets fixed by the counting pass.
struct CArcSaver::CLayout {
    std::uint64_t namesStart;   // the BTNF block, right after BTAF
    std::uint64_t contentStart; // the first content byte, aligned
    std::uint64_t fileSize;
};

CArcSaver::CArcSaver(CArchive& archive_, std::int32_t alignment_, bool withNameTable_, bool backup_)
    : archive_(archive_), alignment_(alignment_), withNameTable_(withNameTable_), backup_(backup_) {
}

std::string CArcSaver::TemporaryName(const std::string& archivePath) {
    return SideFileName(archivePath, "@@@");
}

std::string CArcSaver::BackupName(const std::string& archivePath) {
    return SideFileName(archivePath, "bak");
}

std::string CArcSaver::BackupStagingName(const std::string& archivePath) {
    return BackupName(archivePath) + "@@@";
}

void CArcSaver::Save(const std::string& archivePath) {
    const std::string temporaryName = TemporaryName(archivePath);
    const std::string backupName = BackupName(archivePath);
    const std::string stagingName = BackupStagingName(archivePath);
    XALFcl::CDisk& disk = archive_.disk;
    RefuseSideFileOverArchive(disk, temporaryName, archivePath);
    if (backup_) {
        RefuseBackupOverArchive(disk, backupName, archivePath);
        RefuseBackupOverArchive(disk, stagingName, archivePath);
    }

    const auto align = static_cast<std::uint64_t>(alignment_);
    CArchiveInfo info(align);
    archive_.Walk(info);

    CLayout layout;
    layout.namesStart =
        Format::kHeaderSize + Format::kFatHeaderSize + Format::kFatRecordSize * info.fileCount;
    // The BTNF block header, the directory table (the root's entry alone
    // without names) and the sub-tables, then the GMIF block header.
    const std::uint64_t namesData = withNameTable_
        ? Format::kDirectoryEntrySize * info.dirCount + info.nameBytes
        : Format::kDirectoryEntrySize;
    const std::uint64_t unalignedStart =
        layout.namesStart + Format::kBlockHeaderSize + namesData + Format::kBlockHeaderSize;
    layout.contentStart = AlignUp(unalignedStart, align);
    layout.fileSize = layout.contentStart + info.imageSize;
    CheckLimits(info, layout, archivePath);
    CReadAhead contents(std::move(info.members), align, Format::kPadding);

    // Runs saving at once (one archive, or two that share the temporary
    // name) must not write into each other's temporary file: it is created
    // afresh and locked until the save ends, and a run that meets a locked
    // one fails with "Cannot open file." before it changes anything.
    COwnedSideFile temporary(disk, temporaryName);
    XALFcl::CFileOutputStream& out = temporary.Stream();
    WriteArchive(out, info, layout, contents);
    // The new archive keeps the permission bits of the one it replaces. The
    // file is owner-only while it is written, and gets them only now, so
    // that a killed run's leftover is never one the next run cannot read.
    XALFcl::FileStatus old;
    const std::uint32_t permissions =
        disk.GetStatus(archivePath, old) ? old.permissions : disk.DefaultPermissions();
    if ((out.state & XALFcl::CIosBase::kFailure) || !out.GetFile().SetPermissions(permissions))
        throw CFileException(CFileException::kCannotWrite, temporaryName);
    out.Close();
    // Every member is written: the old archive, which loaded members still
    // read from, closes, so that the renames below never meet it open (a
    // Windows host cannot rename over an open file).
    for (CFileEntry* member : contents.Members())
        member->CloseArchiveImage();

    // The lock keeps other runs away, not everything else: only the file
    // that this run wrote may replace the backup and the archive.
    temporary.CheckName();
    if (backup_)
        MakeBackup(disk, archivePath, backupName, stagingName);
    // The rename replaces the old archive in one step: there is never a
    // moment without an archive at its path.
    temporary.CheckName();
    if (!disk.RenameReplace(temporaryName, archivePath))
        throw CFileException(CFileException::kCannotWrite, archivePath);
    temporary.Keep();
}

// Nothing that the format cannot hold is written; the checks run in this
// order, before the temporary file is touched.
void CArcSaver::CheckLimits(const CArchiveInfo& info, const CLayout& layout,
                            const std::string& archivePath) const {
    if (withNameTable_) {
        if (info.longName != nullptr)
            throw CArcException(CArcException::kNameTooLong, ArchivePathOf(*info.longName));
        if (info.dirCount > Format::kMaxDirectories)
            throw CArcException(CArcException::kTooManyDirectories, archivePath);
    }
    if (info.fileCount > Format::kMaxFiles)
        throw CArcException(CArcException::kTooManyFiles, archivePath);
    if (layout.fileSize > Format::kMaxArchiveSize)
        throw CArcException(CArcException::kArchiveTooLarge, archivePath);
}

void CArcSaver::WriteArchive(XALFcl::CFileOutputStream& out, const CArchiveInfo& info,
                             const CLayout& layout, CReadAhead& contents) {
    const auto align = static_cast<std::uint64_t>(alignment_);

    out.littleEndian = 0;
    out.WriteU32(Format::kMagic);
    out.littleEndian = 1;
    out.WriteU16(Format::kByteOrderMark);
    out.WriteU16(Format::kVersion);
    out.WriteU32(static_cast<std::uint32_t>(layout.fileSize));
    out.WriteU16(Format::kHeaderSize);
    out.WriteU16(Format::kBlockCount);

    const std::uint64_t fatSize = Format::kFatHeaderSize + Format::kFatRecordSize * info.fileCount;
    out.WriteU32(Format::kKindFat);
    out.WriteU32(static_cast<std::uint32_t>(fatSize));
    out.WriteU16(static_cast<std::uint16_t>(info.fileCount));
    out.WriteU16(0); // reserved
    WriteFat(out, contents.Members(), align);

    // The BTNF block ends right before the GMIF block header.
    const std::uint64_t namesEnd = layout.contentStart - Format::kBlockHeaderSize;
    out.WriteU32(Format::kKindNames);
    out.WriteU32(static_cast<std::uint32_t>(namesEnd - layout.namesStart));
    std::uint64_t written = layout.namesStart + Format::kBlockHeaderSize;
    if (withNameTable_) {
        std::vector<std::uint8_t> buffer(info.nameBytes);
        XALFcl::CMemoryOutputStream names(buffer.data(), static_cast<std::int64_t>(buffer.size()));
        names.littleEndian = 1;
        CNameTableWriter nameWriter(out, names, info.dirCount);
        archive_.Walk(nameWriter);
        out.Write(buffer.data(), buffer.size());
        written += Format::kDirectoryEntrySize * info.dirCount + info.nameBytes;
    } else {
        out.WriteU32(Format::kNamelessRootSubTable);
        out.WriteU16(Format::kNamelessRootFirstFile);
        out.WriteU16(Format::kNamelessRootCount);
        written += Format::kDirectoryEntrySize;
    }
    out.Fill(namesEnd - written, Format::kPadding);

    out.WriteU32(Format::kKindImage);
    out.WriteU32(static_cast<std::uint32_t>(info.imageSize + Format::kBlockHeaderSize));
    // The file contents in file ID order, each padded with 0xFF to the
    // alignment. They are copied from where they are in bounded pieces, never
    // held whole; disk files are read ahead of the writing.
    for (std::size_t written = 0; written < contents.Members().size();)
        written += contents.CopyNext(out.GetFile());
}

} // namespace XALArc
