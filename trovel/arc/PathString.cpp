#include "arc/PathString.h"

#include <utility>

namespace XALArc {

CPathString::CPathString(std::string text_, char separator_)
    : text(std::move(text_)), separator(separator_) {
    Normalize();
}

void CPathString::Normalize() {
    const char other = separator == '/' ? '\\' : '/';
    if (other == separator)
        return;
    for (char& c : text) {
        if (c == other)
            c = separator;
    }
}

std::size_t CPathString::Append(const std::string& component) {
    const std::size_t before = text.size();
    if (!text.empty() && text.back() != separator
        && (component.empty() || component.front() != separator))
        text.push_back(separator);
    text.append(component);
    return before;
}

std::size_t CPathString::AppendName(const std::string& path) {
    const std::size_t last = path.rfind(separator);
    return Append(last == std::string::npos ? path : path.substr(last + 1));
}

void CPathString::RemoveLast() {
    const std::size_t last = text.rfind(separator);
    if (last == std::string::npos)
        text.clear();
    else if (last == 0)
        text.resize(1);
    else
        text.resize(last);
}

void CPathString::SetDirectory(const std::string& path) {
    const std::size_t last = path.rfind(separator);
    text = last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

} // namespace XALArc
