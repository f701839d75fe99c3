#pragma once

#include <cstdint>
#include <string>

namespace XALFcl {
class CDisk;
class CFileOutputStream;
} // namespace XALFcl

namespace XALArc {

class CArchive;
class CReadAhead;

// Writes the archive tree out as an archive file. The whole file is laid out
// first, then written front to back into a temporary file beside the
// archive, which finally replaces the archive in one rename. Saving numbers
// the tree: every entry's `id` is assigned afresh.
class CArcSaver {
public:
    // `alignment` is a power of two, at least 4.
    CArcSaver(CArchive& archive, std::int32_t alignment, bool withNameTable, bool backup);

    // Writes the archive to `archivePath`, replacing the old archive
    // atomically; the new archive keeps the old one's permission bits.
    // Failures leave by CFileException or CArcException and change neither
    // the archive nor its backup. A run that meets the temporary file of
    // another run still saving fails with "Cannot open file." naming it.
    void Save(const std::string& archivePath);

    // The side files of a save: the archive path with the host's separators
    // and its extension replaced by "@@@" or "bak".
    static std::string TemporaryName(const std::string& archivePath);
    static std::string BackupName(const std::string& archivePath);
    // Where a new backup is made before it replaces the old one: the backup
    // name with "@@@" appended, a name that no side-file rule gives.
    static std::string BackupStagingName(const std::string& archivePath);

    class CArchiveInfo;
    class CNameTableWriter;

private:
    struct CLayout;

    void CheckLimits(const CArchiveInfo& info, const CLayout& layout,
                     const std::string& archivePath) const;
    void WriteArchive(XALFcl::CFileOutputStream& out, const CArchiveInfo& info,
                      const CLayout& layout, CReadAhead& contents);

    CArchive& archive_;
    std::int32_t alignment_;
    bool withNameTable_;
    bool backup_;
};

// The name of a file beside the archive (temporary, backup, index header):
// the archive path with the host's separators and `extension` after its last
// ".", or appended when it has none.
std::string SideFileName(const std::string& archivePath, const char* extension);

// A file written beside the archive (temporary, backup, index header) must
// never be the archive itself: same path text, or the same file on disk.
void RefuseSideFileOverArchive(XALFcl::CDisk& disk, const std::string& sideName,
                               const std::string& archivePath);

// The same for the backup and its staging name, except that either may be a
// second hard link of the archive's file: a save with a backup interrupted
// between making the backup and replacing the archive leaves one, and those
// names are only ever renamed into place, never written through.
void RefuseBackupOverArchive(XALFcl::CDisk& disk, const std::string& sideName,
                             const std::string& archivePath);

} // namespace XALArc
