#include "archiver/ArchiverSettings.h"

#include "fcl/Console.h"
#include "fcl/Path.h"
#include "fcl/PathTokenizer.h"
#include "fcl/Platform.h"
#include "fcl/Text.h"

namespace {

constexpr const char* kBanner = "QUORVANE VELKO-System Archiver ver 1.1.0w";

const char* const kHelpLines[] = {
    "Usage: trovel [mode][options] archive [file or directory ...]",
    "",
    "Mode",
    "  -r,  --replace          : Replaces a file inside the archive.",
    "  -c,  --create           : Creates a new archive.",
    "  -d,  --delete           : Deletes a file inside the archive.",
    "  -x,  --extract          : Extracts a file from inside the archive.",
    "  -p,  --compare          : Compares archive and file-system files.",
    "",
    "Options",
    "  -a,  --add-to-root      : Registers a file in the archive's root.",
    "  -b,  --backup           : Creates a backup file when creating an archive.",
    "  -e,  --remove-empty-dir : Deletes empty directories in the archive.",
    "  -h,  --help             : Displays this Help.",
    "  -i,  --index            : Creates a File Index List.",
    "  -l,  --list             : Displays a list of the files in the archive.",
    "  -n,  --no-name-table    : Does not generate a Name Table when creating",
    "                            an archive.",
    "  -f,  --use-long-symbol  : Uses long names for the File Index List.",
    "  -s,  --sort             : Sorts files in alphabetical order.",
    "  -t,  --time             : Creates an archive only when file's",
    "                            modification date is new.",
    "  -u,  --update           : Updates files without adding new files that",
    "                            do not exist in the archive.",
    "  -v,  --verbose          : Displays progress during the execution.",
    "  -A [4,8,16,32],",
    "    --align=[4,8,16,32]   : Set alignment.",
    "  -D dir,",
    "    --directory=dir       : Specifies a working directory.",
    "  -S file,",
    "    --script=file[,file]  : Specifies a script file.",
    "  -E <name>,",
    "    --exclude=name[,name] : Specifies a name that will not be registered",
    "                            in the archive.",
    "  -P <name>,",
    "    --prefix=name         : Specifies an index prefix.",
    "",
    "",
    nullptr,
};

// Long names that act like a letter, without "=".
struct LongFlag {
    const char* name;
    char letter;
};

const LongFlag kLongFlags[] = {
    {"replace", 'r'},       {"create", 'c'},
    {"delete", 'd'},        {"extract", 'x'},
    {"compare", 'p'},       {"help", 'h'},
    {"verbose", 'v'},       {"add-to-root", 'a'},
    {"backup", 'b'},        {"remove-empty-dir", 'e'},
    {"index", 'i'},         {"list", 'l'},
    {"no-name-table", 'n'}, {"use-long-symbol", 'f'},
    {"sort", 's'},          {"time", 't'},
    {"update", 'u'},
};

bool IsHexDigit(char c) {
    return XALFcl::IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsValueLetter(char c) {
    return c == 'A' || c == 'D' || c == 'E' || c == 'P' || c == 'S';
}

// Disk paths typed by the user use the host's separator inside the program:
// on a POSIX host a "\" is taken as a separator too, on Windows a "/".
std::string DiskPathArgument(std::string text) {
    const char native = XALFcl::Platform::kNativeSeparator;
    return XALFcl::ReplaceChar(text, native == '/' ? '\\' : '/', native);
}

// Reads an integer literal with automatic base (decimal, 0x hexadecimal, 0
// octal) after optional white space and sign. False unless the literal
// covers the whole text; the value saturates instead of overflowing.
bool ParseIntegerLiteral(const std::string& text, long long& value) {
    std::size_t i = 0;
    while (i < text.size() && XALFcl::IsAsciiSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')
        && i + 2 < text.size() && IsHexDigit(text[i + 2])) {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '0') {
        base = 8;
    }
    const std::size_t digitsStart = i;
    constexpr unsigned long long kLimit = 1ULL << 62;
    unsigned long long magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (XALFcl::IsAsciiDigit(c))
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        // Saturate before multiplying, so that no number of digits can wrap
        // the value round to one that looks acceptable.
        if (magnitude > (kLimit - digit) / base)
            magnitude = kLimit;
        else
            magnitude = magnitude * base + digit;
    }
    if (i == digitsStart || i != text.size())
        return false;
    value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return true;
}

} // namespace

void CArchiverSettings::PrintBanner() {
    XALFcl::PrintLine(kBanner);
    XALFcl::PrintLine("");
}

void CArchiverSettings::PrintUsage() {
    PrintBanner();
    for (const char* const* line = kHelpLines; *line != nullptr; ++line)
        XALFcl::PrintLine(*line);
}

bool CArchiverSettings::ParseArguments(int argc, const char* const* argv) {
    int next = 1;
    while (next < argc) {
        const std::string arg = argv[next++];
        if (arg.compare(0, 2, "--") == 0) {
            ParseLongOption(arg.substr(2));
        } else if (!arg.empty() && arg[0] == '-') {
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const char letter = arg[k];
                if (IsValueLetter(letter)) {
                    if (next < argc)
                        SetValue(letter, argv[next++]);
                    else
                        showUsage = true;
                } else if (!SetFlag(letter)) {
                    showUsage = true;
                }
            }
        } else {
            AddPlainArgument(arg);
        }
    }
    if (!haveArchivePath_)
        showUsage = true;
    return !showUsage;
}

void CArchiverSettings::AddPlainArgument(const std::string& text) {
    if (haveArchivePath_) {
        operands.push_back({DiskPathArgument(text), OperandKind::Path});
        return;
    }
    // An empty archive argument names no archive at all.
    if (text.empty()) {
        showUsage = true;
        return;
    }
    archivePath = DiskPathArgument(text);
    XALFcl::AddExtension(archivePath, "kpak");
    haveArchivePath_ = true;
}

void CArchiverSettings::SetValue(char letter, const std::string& value) {
    switch (letter) {
    case 'A':
        if (!SetAlignment(value))
            showUsage = true;
        break;
    case 'D': operands.push_back({DiskPathArgument(value), OperandKind::WorkingDirectory}); break;
    case 'S': operands.push_back({DiskPathArgument(value), OperandKind::Script}); break;
    case 'E': excludeNames.push_back(value); break;
    case 'P': prefix = value; break;
    default: break;
    }
}

void CArchiverSettings::ParseLongOption(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) {
        for (const LongFlag& flag : kLongFlags) {
            if (text == flag.name) {
                SetFlag(flag.letter);
                return;
            }
        }
        showUsage = true;
        return;
    }

    const std::string name = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (name == "align") {
        if (!SetAlignment(value))
            showUsage = true;
        return;
    }
    char letter;
    bool everyToken;
    if (name == "directory") {
        letter = 'D';
        everyToken = false;
    } else if (name == "script") {
        letter = 'S';
        everyToken = true;
    } else if (name == "exclude") {
        letter = 'E';
        everyToken = true;
    } else if (name == "prefix") {
        letter = 'P';
        everyToken = false;
    } else {
        showUsage = true;
        return;
    }
    XALFcl::CPathTokenizer tokens(value, 0, ',');
    std::string token;
    while (tokens.Next(token)) {
        SetValue(letter, token);
        if (!everyToken)
            break;
    }
}

bool CArchiverSettings::SetFlag(char letter) {
    switch (letter) {
    case 'r': mode = ArchiverMode::Replace; break;
    case 'c': mode = ArchiverMode::Create; break;
    case 'd': mode = ArchiverMode::Delete; break;
    case 'x': mode = ArchiverMode::Extract; break;
    case 'p': mode = ArchiverMode::Compare; break;
    case 'h': showUsage = true; break;
    case 'v': verbose = true; break;
    case 'a': addToRoot = true; break;
    case 'b': backup = true; break;
    case 'e': removeEmptyDir = true; break;
    case 'i': index = true; break;
    case 'l': list = true; break;
    case 'n': noNameTable = true; break;
    case 'f': useLongSymbol = true; break;
    case 's': sort = true; break;
    case 't': time = true; break;
    case 'u': update = true; break;
    default: return false;
    }
    return true;
}

bool CArchiverSettings::SetAlignment(const std::string& text) {
    long long value = 0;
    if (!ParseIntegerLiteral(text, value))
        return false;
    if (value != 4 && value != 8 && value != 16 && value != 32)
        return false;
    align = static_cast<std::int32_t>(value);
    return true;
}
