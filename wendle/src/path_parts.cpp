#include "path_parts.h"

namespace {

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

path_parts::path_parts(const std::string& path) {
    std::size_t rest = 0;
    if (path.size() >= 2 && path[1] == ':') {
        drive_ = path.substr(0, 2);
        rest = 2;
    }
    const std::size_t last_separator = path.find_last_of("/\\");
    const std::size_t name_start =
        last_separator == std::string::npos || last_separator < rest ? rest : last_separator + 1;
    const std::string directory = path.substr(rest, name_start - rest);
    const std::size_t dot = path.find_last_of('.');
    const std::size_t extension_start =
        dot == std::string::npos || dot < name_start ? path.size() : dot;
    file_name_ = path.substr(name_start, extension_start - name_start);
    extension_ = path.substr(extension_start);

    rooted_ = !drive_.empty();
    std::size_t i = 0;
    for (; i < directory.size() && is_separator(directory[i]); ++i) {
        if (i == 0)
            rooted_ = true;
        else if (i == 1)
            unc_ = true;
    }
    while (i < directory.size()) {
        std::size_t end = i;
        while (end < directory.size() && !is_separator(directory[end]))
            ++end;
        const std::string piece = directory.substr(i, end - i);
        i = end + 1;
        if (piece.empty() || piece == ".")
            continue;
        if (piece == ".." && !directories_.empty() && directories_.back() != "..")
            directories_.pop_back();
        else if (unc_ && host_.empty())
            host_ = piece;
        else
            directories_.push_back(piece);
    }
}

std::string path_parts::directory_text() const {
    std::string text;
    if (unc_)
        text = "//" + host_ + "/";
    else if (rooted_)
        text = drive_ + "/";
    for (const std::string& component : directories_)
        text += component + "/";
    return text;
}

std::string path_parts::full_text() const {
    return directory_text() + file_name_ + extension_;
}

std::string directory_of(const std::string& path) {
    const std::string directory = path_parts(path).directory_text();
    return directory.empty() ? "./" : directory;
}

std::string join_path(const std::string& text, const std::string& directory) {
    const path_parts parts(text);
    if (parts.rooted())
        return parts.full_text();
    return path_parts(directory + "/" + text).full_text();
}
