#include "fcl/Text.h"

#include <ctime>

namespace XALFcl {

namespace {

void ReplaceNonIdentifierChars(std::string& text) {
    for (char& c : text) {
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '_')
            c = '_';
    }
}

} // namespace

std::string GetTimeStamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char buffer[32] = {};
    if (local == nullptr || std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", local) == 0)
        return std::string();
    return buffer;
}

std::string& ToUpper(std::string& text) {
    for (char& c : text)
        c = ToAsciiUpper(c);
    return text;
}

std::string& MakeIdentifier(std::string& text) {
    ReplaceNonIdentifierChars(text);
    if (!text.empty() && IsAsciiDigit(text.front()))
        text.insert(text.begin(), '_');
    return text;
}

std::string& MakeSymbol(std::string& text, const std::string& prefix) {
    ReplaceNonIdentifierChars(text);
    if (text.empty() || text.front() != '_')
        text.insert(text.begin(), '_');
    text.insert(0, prefix);
    return text;
}

} // namespace XALFcl
