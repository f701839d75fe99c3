#pragma once

#include <string>

namespace XALFcl {

// Character classes and case mapping for the tools' texts: ASCII only, on
// unsigned bytes, whatever the locale. Bytes of 0x80 and above are neither
// letters nor digits.
inline bool IsAsciiLetter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}
inline bool IsAsciiDigit(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= '0' && u <= '9';
}
// Space, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsAsciiSpace(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == ' ' || (u >= '\t' && u <= '\r');
}
inline char ToAsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char ToAsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The current local time as "%Y-%m-%dT%H:%M:%S".
std::string GetTimeStamp();

// Upper-cases every ASCII letter in place.
std::string& ToUpper(std::string& text);

// Every byte that is not a letter, digit or "_" becomes "_"; a leading digit
// gets "_" in front.
std::string& MakeIdentifier(std::string& text);

// The same replacement, then "_" in front unless the text starts with it,
// then `prefix` in front.
std::string& MakeSymbol(std::string& text, const std::string& prefix);

} // namespace XALFcl
