#include "fcl/FileName.h"

#include "fcl/Text.h"

#include <cstring>

namespace XALFcl {

namespace {

// Windows opens these as devices whatever extension follows them.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    ToUpper(stem);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (stem == device)
            return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)
        && IsAsciiDigit(stem[3]);
}

} // namespace

bool IsPosixReservedName(const std::string& name) {
    return name.empty() || name == "." || name == ".."
        || name.find_first_of(std::string("/\0", 2)) != std::string::npos;
}

bool IsWindowsReservedName(const std::string& name) {
    if (IsPosixReservedName(name))
        return true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\:<>\"|?*", c) != nullptr)
            return true;
    }
    return name.back() == '.' || name.back() == ' ' || IsDeviceName(name);
}

} // namespace XALFcl
