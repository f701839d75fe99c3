#include "arc/FileComparator.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "arc/FileUpdater.h"
#include "fcl/Console.h"
#include "fcl/Exception.h"
#include "fcl/FileStream.h"

namespace XALArc {

CFileComparator::CFileComparator(CArchive* archive_, const std::vector<std::string>* excludes_,
                                 bool verbose_)
    : CFileVisitor(archive_, excludes_) {
    verbose = verbose_;
}

void CFileComparator::VisitFile(const std::string& archivePath, const std::string& diskPath) {
    CFileEntry* entry = FindFile(archivePath);
    if (entry == nullptr) {
        XALFcl::PrintLine(archivePath + CArcException::Message(CArcException::kMissingFile));
        return;
    }
    XALFcl::CFileInputStream stream = OpenVisited(diskPath);
    Report("Comparing: ", diskPath);
    // The status that the open took costs nothing more; the length alone
    // costs three seeks.
    XALFcl::FileStatus status;
    const auto length = stream.GetFile().GetStatus(status)
        ? status.size
        : static_cast<std::uint64_t>(stream.GetSize());
    if (entry->Compare(stream, length))
        return;
    // A file that shrank while it was read is an error, not a difference.
    if (stream.state & XALFcl::CIosBase::kEndOfData)
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotLoad, diskPath);
    XALFcl::PrintLine(diskPath + CArcException::Message(CArcException::kDifferentFile));
}

CTimeComparator::CTimeComparator(CArchive* archive_, const std::string& archivePath,
                                 const std::vector<std::string>* excludes_)
    : CFileVisitor(archive_, excludes_),
      referenceTime(RequireModTime(archive_->disk, archivePath)) {}

void CTimeComparator::VisitFile(const std::string& archivePath, const std::string& diskPath) {
    ++examined;
    if (FindFile(archivePath) != nullptr)
        ++found;
    if (RequireModTime(archive->disk, diskPath) > referenceTime)
        ++newer;
}

bool CTimeComparator::IsOutOfDate() {
    if (newer > 0 || found < examined)
        return true;
    return archive->root.CountFiles() > examined;
}

} // namespace XALArc
