#pragma once

// The textual path rules of wendle: a path split into drive, directory
// components, file name and extension, with "." and empty components dropped
// and ".." folded, and the two helpers that resolve the names of a list file
// against the list file's directory.

#include <string>
#include <vector>

class path_parts {
public:
    // Splits a path written with "/" or "\" separators. A drive is a first
    // character followed by ":". Pieces have no length limit.
    explicit path_parts(const std::string& path);

    bool rooted() const { return rooted_; }
    bool unc() const { return unc_; }
    const std::string& drive() const { return drive_; }
    const std::string& host() const { return host_; }
    const std::string& file_name() const { return file_name_; }
    const std::string& extension() const { return extension_; }
    const std::vector<std::string>& directories() const { return directories_; }

    // "//host/" for a UNC path, the drive and "/" for a rooted one, then each
    // directory component followed by "/".
    std::string directory_text() const;
    // The directory text followed by file name and extension.
    std::string full_text() const;

private:
    bool rooted_ = false;
    bool unc_ = false;
    std::string drive_;
    std::string host_;
    std::string file_name_;
    std::string extension_;
    std::vector<std::string> directories_;
};

// The directory of a path, ending in "/"; "./" when it has none.
std::string directory_of(const std::string& path);

// The path of the name `text` read from a list file in `directory`: a rooted
// text (drive, or leading separator) stands for itself, any other is taken
// relative to the directory. The result is in the form of full_text().
std::string join_path(const std::string& text, const std::string& directory);
