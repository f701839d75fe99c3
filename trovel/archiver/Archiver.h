#pragma once

#include "arc/Archive.h"
#include "archiver/ArchiverSettings.h"

// The application object of one trovel run: the archive tree, the settings
// of the command line, and the fixed sequence that runs the selected mode.
class CArchiver : public XALArc::CArchive, public CArchiverSettings {
public:
    explicit CArchiver(XALFcl::CDisk& disk = XALFcl::SystemDisk());

    // Parses the command line, runs the mode and the reports, and turns every
    // failure into its message. Returns the exit status, 0 or 1.
    int Run(int argc, const char* const* argv);

    // The operand walk with an importer; true when some file received bytes.
    bool ImportFiles();
    // The operand walk with an updater (replace mode with --time).
    bool UpdateFiles();
    // Delete mode: every Path operand and every script entry, in order.
    void DeleteFiles();
    void DeletePath(std::string path);

private:
    void RefuseOutputsOverArchive() const;
    void RunMode();
    void Load(bool forEditing);
    void Save();
    void SaveIfModified(bool modified);
    void CreateArchive();
    std::string HeaderPath() const;
    // Writes the index header beside the archive, never over it.
    void WriteIndexHeader();
    std::string ExtractionBaseName() const;
};
