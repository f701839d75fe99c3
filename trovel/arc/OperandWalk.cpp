#include "arc/OperandWalk.h"

#include "arc/Archive.h"
#include "arc/FileVisitor.h"
#include "arc/PathString.h"
#include "arc/ScriptReader.h"
#include "fcl/FileSystem.h"
#include "fcl/Platform.h"

namespace XALArc {

void WalkOperands(const std::vector<COperand>& operands, bool addToRoot, bool verbose,
                  CFileVisitor& visitor) {
    visitor.verbose = verbose;
    CPathString disk(std::string(), XALFcl::Platform::kNativeSeparator);
    CPathString archivePath("/", '/');
    for (const COperand& operand : operands) {
        switch (operand.kind) {
        case OperandKind::WorkingDirectory:
            disk = CPathString(operand.text, XALFcl::Platform::kNativeSeparator);
            break;
        case OperandKind::Script: {
            // Script entries carry their own disk paths; the working
            // directory does not apply to them.
            CScriptReader script(visitor.archive->disk, operand.text);
            while (script.Next()) {
                const CPathString entryDisk(script.GetDiskPath(),
                                            XALFcl::Platform::kNativeSeparator);
                const CPathString entryArchive(script.GetArchivePath(), '/');
                visitor.Import(entryArchive.str(), entryDisk.str());
            }
            break;
        }
        case OperandKind::Path: {
            const std::size_t diskLength = disk.Append(operand.text);
            const std::size_t archiveLength = archivePath.size();
            if (!addToRoot)
                archivePath.Append(operand.text);
            else if (XALFcl::IsDirectory(visitor.archive->disk, disk.str()) == 0)
                // The name after the last separator of either kind.
                archivePath.AppendName(CPathString(operand.text, '/').str());
            disk.Normalize();
            archivePath.Normalize();
            visitor.Import(archivePath.str(), disk.str());
            disk.Truncate(diskLength);
            archivePath.Truncate(archiveLength);
            break;
        }
        }
    }
}

} // namespace XALArc
