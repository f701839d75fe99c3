#include "archiver/Archiver.h"

#include "arc/ArcException.h"
#include "arc/ArcLoader.h"
#include "arc/ArcSaver.h"
#include "arc/FileComparator.h"
#include "arc/FileImporter.h"
#include "arc/FileUpdater.h"
#include "arc/OperandWalk.h"
#include "arc/ScriptReader.h"
#include "archiver/Extraction.h"
#include "archiver/IndexCreator.h"
#include "archiver/Lister.h"
#include "fcl/Console.h"
#include "fcl/Disk.h"
#include "fcl/Exception.h"
#include "fcl/Path.h"
#include "fcl/Platform.h"

#include <cstdio>

using XALArc::CArcException;

namespace {

// Replace mode makes a new archive where there is none: nothing at the path,
// or a dangling link. A status that fails for another reason on an archive
// that is there must not count as none, or the operands alone would be
// saved over it and its other members lost; loading it reports the failure.
bool NoArchiveAt(XALFcl::CDisk& disk, const std::string& archivePath) {
    XALFcl::FileStatus status;
    if (disk.GetStatus(archivePath, status))
        return false;
    return !disk.GetLinkStatus(archivePath, status) || status.isLink;
}

} // namespace

CArchiver::CArchiver(XALFcl::CDisk& disk_) : XALArc::CArchive(true, disk_) {}

int CArchiver::Run(int argc, const char* const* argv) {
    if (!ParseArguments(argc, argv)) {
        PrintUsage();
        return 1;
    }
    if (verbose)
        PrintBanner();
    root.SetSorted(sort);

    try {
        RefuseOutputsOverArchive();
        RunMode();
        if (index)
            WriteIndexHeader();
        if (list)
            XALArchiver::CLister(*this).PrintListing();
    } catch (const XALFcl::CException& e) {
        e.Print();
        return 1;
    } catch (...) {
        std::fflush(stdout);
        std::fputs("An unexpected error has occurred.\n", stderr);
        std::fflush(stderr);
        return 1;
    }
    return 0;
}

void CArchiver::WriteIndexHeader() {
    // Checked again now: an archive saved by this run may have come into
    // being under a header name that was a dangling link before.
    XALArc::RefuseSideFileOverArchive(disk, HeaderPath(), archivePath);
    XALArchiver::CIndexCreator(*this, HeaderPath(), prefix, useLongSymbol).WriteHeader();
}

std::string CArchiver::HeaderPath() const {
    return XALArc::SideFileName(archivePath, "kpix");
}

// A side file that is the archive itself would destroy it: the index header
// in any mode, the temporary and backup names where the archive is saved.
void CArchiver::RefuseOutputsOverArchive() const {
    if (index)
        XALArc::RefuseSideFileOverArchive(disk, HeaderPath(), archivePath);
    if (mode == ArchiverMode::Create || mode == ArchiverMode::Replace
        || mode == ArchiverMode::Delete) {
        XALArc::RefuseSideFileOverArchive(disk, XALArc::CArcSaver::TemporaryName(archivePath),
                                          archivePath);
        if (backup)
            XALArc::RefuseBackupOverArchive(disk, XALArc::CArcSaver::BackupName(archivePath),
                                            archivePath);
    }
}

void CArchiver::Load(bool forEditing) {
    XALArc::CArcLoader loader(*this);
    loader.Load(archivePath);
    // An archive without a name table loads as an empty root; saving it again
    // would drop every member.
    if (forEditing && !loader.NamesEveryFile())
        throw CArcException(CArcException::kNoNameTable, archivePath);
}

void CArchiver::Save() {
    // Loaded entries keep their stored order; a sorted run saves in name order.
    if (sort)
        root.SortByName();
    XALArc::CArcSaver(*this, align, !noNameTable, backup).Save(archivePath);
}

void CArchiver::SaveIfModified(bool modified) {
    if (modified)
        Save();
    else if (verbose)
        XALFcl::PrintLine("There is no updated file.");
}

bool CArchiver::ImportFiles() {
    XALArc::CFileImporter importer(this, &excludeNames, update, !removeEmptyDir);
    XALArc::WalkOperands(operands, addToRoot, verbose, importer);
    return importer.modified;
}

bool CArchiver::UpdateFiles() {
    XALArc::CFileUpdater updater(this, archivePath, &excludeNames, update);
    updater.createDirectories = !removeEmptyDir;
    XALArc::WalkOperands(operands, addToRoot, verbose, updater);
    return updater.modified;
}

void CArchiver::CreateArchive() {
    if (time) {
        Load(false);
        XALArc::CTimeComparator comparator(this, archivePath, &excludeNames);
        XALArc::WalkOperands(operands, addToRoot, verbose, comparator);
        if (!comparator.IsOutOfDate()) {
            if (verbose)
                XALFcl::PrintLine("There is no updated file.");
            return;
        }
        root.DeleteAll();
    }
    SaveIfModified(ImportFiles());
}

void CArchiver::DeleteFiles() {
    for (const COperand& operand : operands) {
        if (operand.kind == OperandKind::Path) {
            DeletePath(operand.text);
        } else if (operand.kind == OperandKind::Script) {
            XALArc::CScriptReader script(disk, operand.text);
            while (script.Next())
                DeletePath(script.GetArchivePath());
        }
    }
    if (removeEmptyDir)
        root.RemoveEmptyDirectories();
}

void CArchiver::DeletePath(std::string path) {
    XALFcl::ReplaceChar(path, '\\', '/');
    if (verbose)
        XALFcl::PrintLine("deleting: " + path);
    XALArc::CArcEntry* entry = FindEntry(path);
    // The root itself is never deleted, however the path spells it.
    if (entry == nullptr || entry == &root)
        throw CArcException(CArcException::kNotInArchive, path);
    delete entry;
}

std::string CArchiver::ExtractionBaseName() const {
    for (const COperand& operand : operands) {
        if (operand.kind != OperandKind::Path)
            continue;
        // An empty first operand counts as none.
        if (!operand.text.empty())
            return operand.text;
        break;
    }
    std::string base = archivePath;
    return XALFcl::ReplaceChar(base, '/', XALFcl::Platform::kNativeSeparator);
}

void CArchiver::RunMode() {
    switch (mode) {
    case ArchiverMode::None: Load(false); break;
    case ArchiverMode::Replace:
        if (!NoArchiveAt(disk, archivePath))
            Load(true);
        SaveIfModified(time ? UpdateFiles() : ImportFiles());
        break;
    case ArchiverMode::Create: CreateArchive(); break;
    case ArchiverMode::Delete:
        Load(true);
        DeleteFiles();
        Save();
        break;
    case ArchiverMode::Extract:
        Load(false);
        ExtractArchive(*this, ExtractionBaseName());
        break;
    case ArchiverMode::Compare: {
        Load(false);
        XALArc::CFileComparator comparator(this, &excludeNames, verbose);
        XALArc::WalkOperands(operands, addToRoot, verbose, comparator);
        break;
    }
    }
}
