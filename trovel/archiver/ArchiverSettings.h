#pragma once

#include "arc/Operand.h"

#include <cstdint>
#include <string>
#include <vector>

enum class ArchiverMode : std::int32_t {
    None = 0,
    Replace = 1,
    Create = 2,
    Delete = 3,
    Extract = 4,
    Compare = 5,
};

using XALArc::COperand;
using XALArc::OperandKind;

// What one trovel command line asked for. Filled once by ParseArguments and
// read-only afterwards.
class CArchiverSettings {
public:
    // Fills the settings from argv[1] .. argv[argc-1]; true when the command
    // line is usable.
    bool ParseArguments(int argc, const char* const* argv);
    // Writes the banner and the help text to standard output.
    static void PrintUsage();
    // Writes the banner line and an empty line, as verbose runs start.
    static void PrintBanner();

    ArchiverMode mode = ArchiverMode::None;
    std::string archivePath;
    std::vector<COperand> operands;
    std::vector<std::string> excludeNames;
    std::string prefix = "KPAK_";
    std::int32_t align = 4;
    bool backup = false;
    bool showUsage = false;
    bool index = false;
    bool list = false;
    bool noNameTable = false;
    bool useLongSymbol = false;
    bool sort = false;
    bool time = false;
    bool update = false;
    bool removeEmptyDir = false;
    bool addToRoot = false;
    bool verbose = false;

private:
    void ParseLongOption(const std::string& text);
    bool SetFlag(char letter);
    bool SetAlignment(const std::string& text);
    // A short value option (A, D, E, P, S) with its value.
    void SetValue(char letter, const std::string& value);
    void AddPlainArgument(const std::string& text);

    bool haveArchivePath_ = false;
};
