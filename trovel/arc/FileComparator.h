#pragma once

#include "arc/FileVisitor.h"

#include <cstdint>

namespace XALArc {

// Compare mode: reports operand files that the archive lacks (by archive
// path) or holds with other contents (by disk path) on standard output.
class CFileComparator : public CFileVisitor {
public:
    CFileComparator(CArchive* archive, const std::vector<std::string>* excludes, bool verbose);

    void VisitFile(const std::string& archivePath, const std::string& diskPath) override;
};

// Create mode with --time: finds out whether the loaded archive is older
// than the operand files, misses one of them, or holds more files than they.
class CTimeComparator : public CFileVisitor {
public:
    CTimeComparator(CArchive* archive, const std::string& archivePath,
                    const std::vector<std::string>* excludes);

    void VisitFile(const std::string& archivePath, const std::string& diskPath) override;
    bool IsOutOfDate();

    std::int64_t referenceTime = 0;
    std::int64_t examined = 0;
    std::int64_t found = 0;
    std::int64_t newer = 0;
};

} // namespace XALArc
