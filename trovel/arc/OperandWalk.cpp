#include "arc/OperandWalk.h"

#include "arc/FileVisitor.h"
#include "arc/PathString.h"
#include "fcl/FileSystem.h"
#include "fcl/Platform.h"

#include <stdexcept>

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
        case OperandKind::Script:
            throw std::logic_error("script files are not supported yet");
        case OperandKind::Path: {
            const std::size_t diskLength = disk.Append(operand.text);
            const std::size_t archiveLength = archivePath.size();
            if (!addToRoot)
                archivePath.Append(operand.text);
            else if (XALFcl::IsDirectory(disk.str()) == 0)
                archivePath.AppendName(operand.text);
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
