#include "archiver/Extraction.h"

#include "arc/Archive.h"
#include "arc/Extracter.h"
#include "archiver/ArchiverException.h"
#include "fcl/Exception.h"
#include "fcl/FileSystem.h"
#include "fcl/Path.h"
#include "fcl/Platform.h"

namespace {

std::string CutExtension(std::string name) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}

// The first name under which nothing exists, not even a dangling link: an
// existing directory is never written into.
std::string ChooseOutputDirectory(XALFcl::CDisk& disk, const std::string& baseName) {
    const std::string name = CutExtension(baseName);
    if (!XALFcl::PathExists(disk, name))
        return name;
    std::string candidate = name;
    for (char digit = '1'; digit <= '9'; ++digit) {
        XALFcl::ReplaceExtension(candidate, std::string(1, digit));
        if (!XALFcl::PathExists(disk, candidate))
            return candidate;
    }
    throw CArchiverException(CArchiverException::kCannotMakeDirectory, CutExtension(candidate));
}

} // namespace

void ExtractArchive(XALArc::CArchive& archive, const std::string& baseName) {
    XALArc::CheckExtractableNames(archive);
    const std::string directory = ChooseOutputDirectory(archive.disk, baseName);
    if (!archive.disk.MakeDirectory(directory))
        throw XALFcl::CFileException(XALFcl::CFileException::kCannotCreateDirectory, directory);
    XALArc::CExtracter extracter(archive.disk, directory);
    archive.Walk(extracter);
}
