#pragma once

#include "archiver/ArchiverSettings.h"

// The application object of one trovel run: the settings of the command line
// and the sequence that runs the selected mode.
class CArchiver : public CArchiverSettings {
public:
    // Parses the command line, runs the mode and the reports, and turns every
    // failure into its message. Returns the exit status, 0 or 1.
    int Run(int argc, const char* const* argv);

private:
    void RunMode();
};
