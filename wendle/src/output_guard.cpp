#include "output_guard.h"

#include "path_parts.h"

#include <algorithm>
#include <utility>

input_guard::input_guard(disk& disk, std::vector<std::string> lists)
    : disk_(disk), lists_(std::move(lists)) {
    for (const std::string& list : lists_)
        list_texts_.insert(path_parts(list).full_text());
}

bool input_guard::is_input(const std::string& output, const std::string& list,
                           const std::vector<std::string>& waves) {
    const std::string text = path_parts(output).full_text();
    path_status found;
    const bool exists = disk_.status_of(output, found);
    const auto same = [&](const std::string& path) {
        path_status other;
        return path_parts(path).full_text() == text
            || (exists && disk_.status_of(path, other) && other.id == found.id);
    };
    if (same(list) || std::any_of(waves.begin(), waves.end(), same))
        return true;
    if (lists_.empty())
        return false;
    if (list_texts_.count(text) != 0)
        return true;
    if (!exists)
        return false;
    // A list file can be the output only once the output exists; from then
    // on the run changes nothing but its contents, so one look suffices.
    if (!lists_identified_) {
        for (const std::string& other_list : lists_) {
            path_status status;
            if (disk_.status_of(other_list, status))
                list_files_.insert(status.id);
        }
        lists_identified_ = true;
    }
    return list_files_.count(found.id) != 0;
}

output_guard::output_guard(disk& disk, strm::output_file& file, std::string path)
    : disk_(disk), file_(file), path_(std::move(path)) {
    file_status status;
    if (file_.get()->status(status)) {
        regular_ = status.regular;
        id_ = status.id;
    }
}

output_guard::~output_guard() {
    if (kept_)
        return;
    file_.close();
    discard();
}

// A regular file is emptied, and its name is removed when the path itself
// still is that file (not a link to it); anything else (a device, a pipe, a
// file that another program put at the path meanwhile) is left alone.
// Emptying first also clears the data that other hard links or a symbolic
// link would still show after the name is gone.
void output_guard::discard() {
    if (!regular_)
        return;
    path_status status;
    if (disk_.status_of(path_, status) && status.id == id_)
        disk_.truncate(path_);
    if (disk_.link_status_of(path_, status) && status.regular && status.id == id_)
        disk_.unlink(path_);
}
