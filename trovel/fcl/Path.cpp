#include "fcl/Path.h"

#include <algorithm>

namespace XALFcl {

std::string& AddExtension(std::string& path, const std::string& ext) {
    if (path.find('.') == std::string::npos)
        path.append(".").append(ext);
    return path;
}

std::string& ReplaceExtension(std::string& path, const std::string& ext) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        path.append(".");
    else
        path.erase(dot + 1);
    return path.append(ext);
}

std::string& ReplaceChar(std::string& text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

} // namespace XALFcl
