#include "list_file.h"

#include "my_exception.h"
#include "path_parts.h"
#include "platform.h"

#include "util/stream.h"

namespace {

constexpr std::size_t read_buffer_size = 4096;

} // namespace

list_file::list_file(disk& disk, const std::string& path) : file_(disk.open_for_reading(path)) {
    if (!file_)
        throw my_exception("Cannot open " + path + " for reading.");
    const std::string directory = directory_of(path);
    const auto add = [&](const std::string& line) {
        waves_.push_back(join_path(platform::host_path(line), directory));
    };
    std::string line;
    char buffer[read_buffer_size];
    try {
        while (const std::size_t count = strm::read_some(*file_, buffer, sizeof buffer)) {
            for (std::size_t i = 0; i < count; ++i) {
                if (buffer[i] != '\n') {
                    line.push_back(buffer[i]);
                    continue;
                }
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!line.empty())
                    add(line);
                line.clear();
            }
        }
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path + ".");
    }
    if (!line.empty())
        add(line);
}
