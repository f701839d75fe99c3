#pragma once

#include <string>

namespace XALArc {

class CArchive;

// Reads an archive file into the archive tree. Every archive is untrusted:
// its whole structure is checked before the first entry is created. Only
// the allocation and name tables are read; the members refer to their
// ranges of the file image, which stays in the archive file.
class CArcLoader {
public:
    explicit CArcLoader(CArchive& archive);

    // Reads the archive at `archivePath` into the tree. Entries are appended
    // in stored order whatever the tree's sort rule, which governs only the
    // entries added afterwards. Failures leave by exception.
    void Load(const std::string& archivePath);

    // After Load: whether the name table names every file that the
    // allocation table counts. False for an archive saved without names,
    // which must not be edited (saving it would drop the unnamed files).
    bool NamesEveryFile() const { return namesEveryFile_; }

private:
    CArchive& archive_;
    bool namesEveryFile_ = false;
};

} // namespace XALArc
