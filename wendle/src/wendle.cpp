// wendle: packs the wave files named in list files into wave archives.
// Each operand is a list file; each list file yields one archive.

#include "path_parts.h"
#include "platform.h"
#include "wave_format.h"

#include "util/cmdline.h"
#include "util/stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A failure of the tool itself; the message follows "wendle: ".
class my_exception : public std::exception {
public:
    explicit my_exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    // The whole text, also when a path in it holds a NUL byte.
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

void print_help() {
    static const char* const lines[] = {
        "wendle Ver.1.02",
        "Copyright (C) 2026 Quorvane. All rights reserved.",
        "",
        "",
        "Usage:",
        "  wendle [option...] file...",
        "",
        "Options:",
        "  -v, --verbose explain what is being done",
        "  -o filename   specify output filename",
        "  -u, --update  update only when input file is newer than output file",
        "  -h, --help    display this help and exit",
    };
    for (const char* line : lines)
        std::cout << line << std::endl;
}

// The options and operands of one run. Paths enter in the host's spelling.
class archive_options : public cmdline_parser {
public:
    archive_options() {
        add_option("h", false);
        add_option("help", false);
        add_option("v", false);
        add_option("verbose", false);
        add_option("u", false);
        add_option("update", false);
        add_option("o", true);
    }

    const std::vector<std::string>& operands() const { return operands_; }
    bool verbose() const { return verbose_; }
    bool update() const { return update_; }
    const std::string& output() const { return output_; }

protected:
    void on_option(std::string name, std::string value) override {
        if (name == "help" || name == "h") {
            print_help();
            std::exit(0);
        } else if (name == "verbose" || name == "v") {
            verbose_ = true;
        } else if (name == "update" || name == "u") {
            update_ = true;
        } else if (name == "o") {
            output_ = platform::host_path(std::move(value));
        }
    }

    void on_operand(std::string text) override {
        operands_.push_back(platform::host_path(std::move(text)));
    }

private:
    std::vector<std::string> operands_;
    bool verbose_ = false;
    bool update_ = false;
    std::string output_;
};

// The list file's name up to its last "." (anywhere in the path), then ".swar".
std::string archive_name_for(const std::string& list) {
    const std::size_t dot = list.find_last_of('.');
    return (dot == std::string::npos ? list : list.substr(0, dot)) + ".swar";
}

// The wave file names of a list file: one per line, taken verbatim, empty
// lines skipped. Lines end at LF; a CR right before the LF belongs to the end.
std::vector<std::string> read_list(disk_file& file, const std::string& path) {
    std::vector<std::string> names;
    std::string line;
    char buffer[4096];
    try {
        while (const std::size_t count = strm::read_some(file, buffer, sizeof buffer)) {
            for (std::size_t i = 0; i < count; ++i) {
                if (buffer[i] != '\n') {
                    line.push_back(buffer[i]);
                    continue;
                }
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!line.empty())
                    names.push_back(platform::host_path(line));
                line.clear();
            }
        }
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path + ".");
    }
    if (!line.empty())
        names.push_back(platform::host_path(line));
    return names;
}

// True when `file`, of `length` bytes, starts with the headers of a finished
// wave archive: the file header and the "DATA" block header with the values
// the writer leaves. The file size is the writer's last write, so an archive
// whose writing was cut short records a size that is not the file's length.
bool holds_finished_archive(disk_file& file, std::uint64_t length) {
    try {
        const strm::block_tag magic = strm::read_tag(file);
        const std::uint16_t byte_order = strm::read_u16(file);
        const std::uint16_t version = strm::read_u16(file);
        const std::uint32_t file_size = strm::read_u32(file);
        const std::uint16_t header_size = strm::read_u16(file);
        const std::uint16_t block_count = strm::read_u16(file);
        const strm::block_tag kind = strm::read_tag(file);
        const std::uint32_t block_size = strm::read_u32(file);
        return magic == wave_archive::magic && byte_order == strm::byte_order_mark &&
               version == wave_archive::version && file_size == length &&
               header_size == wave_archive::header_size &&
               block_count == wave_archive::block_count && kind == wave_archive::data_kind &&
               block_size == file_size - wave_archive::data_block_offset;
    } catch (const strm::failure&) {
        return false;
    } catch (const strm::read_failure&) {
        return false;
    }
}

// The last-write time of the archive at `path`; false unless it is a regular
// file holding a finished archive.
bool finished_archive_time(disk& disk, const std::string& path, file_time& time) {
    const std::unique_ptr<disk_file> file = disk.open_for_reading(path);
    file_status status;
    if (!file || !file->status(status) || !holds_finished_archive(*file, status.length))
        return false;
    time = status.last_write;
    return true;
}

// True when the last-write time of `input` can be read and is strictly
// earlier than `output_time`.
// The last-write time of a regular file, taken from the file opened for
// reading. False when it cannot be opened that way.
bool last_write_time(disk& disk, const std::string& path, file_time& time) {
    const std::unique_ptr<disk_file> file = disk.open_for_reading(path);
    file_status status;
    if (!file || !file->status(status))
        return false;
    time = status.last_write;
    return true;
}

bool written_before(disk& disk, const std::string& input, const file_time& output_time) {
    file_time input_time;
    return last_write_time(disk, input, input_time) && input_time < output_time;
}

// True when `output` holds a finished archive that is newer than the list file
// and every wave file it names. An unfinished one, as a killed run leaves it,
// is out of date whatever its time.
bool archive_is_current(disk& disk, const std::string& list,
                        const std::vector<std::string>& waves, const std::string& output) {
    file_time output_time;
    if (!finished_archive_time(disk, output, output_time) ||
        !written_before(disk, list, output_time))
        return false;
    return std::all_of(waves.begin(), waves.end(), [&](const std::string& wave) {
        return written_before(disk, wave, output_time);
    });
}

// Tells whether writing an output would overwrite an input of the run: the
// list file at hand, one of its wave files, or, with -o, any list file. Two
// paths are the same when their normalised texts are, or when both lead to one
// file. The output is identified once per test and each input once; with many
// list files, comparing every pair would take quadratic time.
class input_guard {
public:
    input_guard(disk& disk, const archive_options& options) : disk_(disk), options_(options) {
        if (one_output()) {
            for (const std::string& list : options.operands())
                list_texts_.insert(path_parts(list).full_text());
        }
    }

    bool is_input(const std::string& output, const std::string& list,
                  const std::vector<std::string>& waves) {
        const std::string text = path_parts(output).full_text();
        path_status found;
        const bool exists = disk_.status_of(output, found);
        const file_id id = found.id;
        const auto same = [&](const std::string& path) {
            path_status other;
            return path_parts(path).full_text() == text ||
                   (exists && disk_.status_of(path, other) && other.id == id);
        };
        if (same(list) || std::any_of(waves.begin(), waves.end(), same))
            return true;
        if (!one_output())
            return false;
        if (list_texts_.count(text) != 0)
            return true;
        if (!exists)
            return false;
        // A list file can be the output only once the output exists; from then
        // on the run changes nothing but its contents, so one look suffices.
        if (!lists_identified_) {
            for (const std::string& operand : options_.operands()) {
                path_status list;
                if (disk_.status_of(operand, list))
                    list_files_.insert(list.id);
            }
            lists_identified_ = true;
        }
        return list_files_.count(id) != 0;
    }

private:
    bool one_output() const { return !options_.output().empty(); }

    disk& disk_;
    const archive_options& options_;
    std::set<std::string> list_texts_;
    std::set<file_id> list_files_;
    bool lists_identified_ = false;
};

constexpr std::size_t copy_buffer_size = 0x10000;

// Appends one wave's data (everything after its headers) to the
// archive and resolves its offset field to where the data starts.
void copy_wave(disk& disk, disk_file& out, const std::string& path,
               strm::writeback_field& offset, std::vector<unsigned char>& buffer) {
    const std::unique_ptr<disk_file> wave = disk.open_for_reading(path);
    if (!wave)
        throw my_exception("Cannot open " + path + " for reading.");
    strm::block_tag magic(0);
    try {
        magic = strm::read_tag(*wave);
        unsigned char rest_of_header[wave_file::header_length - 4];
        strm::read_bytes(*wave, rest_of_header, sizeof rest_of_header);
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path + ".");
    } catch (const strm::failure&) {
        throw my_exception("Not VELKO binary format " + path);
    }
    if (magic != wave_file::magic)
        throw my_exception("Not SWAV file " + path);

    strm::resolve(offset, out, 0);
    // The archive's sizes are 32-bit: stop before it reaches 4 GiB rather
    // than after copying the whole of an oversized wave.
    strm::position end = strm::tell(out);
    for (;;) {
        std::size_t count = 0;
        try {
            count = strm::read_some(*wave, buffer.data(), buffer.size());
        } catch (const strm::read_failure&) {
            throw my_exception("Cannot read " + path + ".");
        }
        if (count == 0)
            break;
        if (count > wave_archive::max_length - end)
            throw strm::write_failure{};
        strm::write_bytes(out, buffer.data(), count);
        end += count;
    }
}

// Writes the wave archive of `waves` to `out`, which is at its start: the
// file header, then one "DATA" block with eight reserved words, the wave
// count, the offset of each wave's data and the data back to back.
void write_wave_archive(disk& disk, disk_file& out, const std::vector<std::string>& waves) {
    // The offset table alone must fit below 4 GiB.
    if (waves.size() > (wave_archive::max_length - wave_archive::offset_table_offset) /
                           wave_archive::offset_entry_size)
        throw strm::write_failure{};
    std::vector<strm::writeback_field> offsets(waves.size());
    std::vector<unsigned char> buffer(copy_buffer_size);

    strm::file_header_writer header(out, wave_archive::magic, wave_archive::version,
                                    wave_archive::block_count);
    strm::block_writer data(out, wave_archive::data_kind);
    for (std::size_t i = 0; i < wave_archive::reserved_length; i += 4)
        strm::write_u32(out, 0);
    strm::write_u32(out, static_cast<std::uint32_t>(waves.size()));
    for (strm::writeback_field& offset : offsets)
        strm::write(out, offset);
    for (std::size_t i = 0; i < waves.size(); ++i)
        copy_wave(disk, out, waves[i], offsets[i], buffer);
    strm::write(out, strm::align(wave_archive::alignment));
    data.finish();
    header.finish();
}

// What an output was opened as, to know later what may be removed: only a
// regular file, and only while the path still leads to it.
struct output_identity {
    bool regular = false;
    file_id id;
};

// Removes the output it watches unless the archive in it was completed, so
// that a failed run leaves no partial archive behind.
class output_guard {
public:
    output_guard(disk& disk, strm::output_file& file, std::string path)
        : disk_(disk), file_(file), path_(std::move(path)) {
        file_status status;
        if (file_.get()->status(status)) {
            identity_.regular = status.regular;
            identity_.id = status.id;
        }
    }
    output_guard(const output_guard&) = delete;
    output_guard& operator=(const output_guard&) = delete;
    ~output_guard() {
        if (kept_)
            return;
        file_.close();
        discard();
    }

    void keep() { kept_ = true; }

private:
    // A regular file is emptied, and its name is removed when the path itself
    // still is that file (not a link to it); anything else (a device, a pipe,
    // a file that another program put at the path meanwhile) is left alone.
    // Emptying first also clears the data that other hard links or a symbolic
    // link would still show after the name is gone.
    void discard() {
        if (!identity_.regular)
            return;
        path_status status;
        if (disk_.status_of(path_, status) && status.id == identity_.id)
            disk_.truncate(path_);
        if (disk_.link_status_of(path_, status) && status.regular && status.id == identity_.id)
            disk_.unlink(path_);
    }

    disk& disk_;
    strm::output_file& file_;
    std::string path_;
    output_identity identity_;
    bool kept_ = false;
};

void write_archive_file(disk& disk, const std::string& path,
                        const std::vector<std::string>& waves) {
    strm::output_file file(disk.open_for_writing(path));
    if (!file.is_open())
        throw my_exception("Cannot open " + path + " for writing.");
    output_guard guard(disk, file, path);
    try {
        write_wave_archive(disk, *file.get(), waves);
        if (!file.close())
            throw strm::write_failure{};
    } catch (const strm::write_failure&) {
        throw my_exception("Cannot write " + path + ".");
    }
    guard.keep();
}

// Handles one list file: names its wave files, skips an archive that is
// current (with -u), and otherwise writes the archive.
void build_archive(disk& disk, const std::string& list, const archive_options& options,
                   input_guard& inputs) {
    const std::string output = options.output().empty() ? archive_name_for(list) : options.output();
    const std::unique_ptr<disk_file> list_file = disk.open_for_reading(list);
    if (!list_file)
        throw my_exception("Cannot open " + list + " for reading.");
    const std::string directory = directory_of(list);
    std::vector<std::string> waves;
    for (const std::string& name : read_list(*list_file, list))
        waves.push_back(join_path(name, directory));

    if (options.update() && archive_is_current(disk, list, waves, output)) {
        if (options.verbose())
            std::cout << "wendle: " << output << " is update." << std::endl;
        return;
    }
    if (inputs.is_input(output, list, waves))
        throw my_exception("Cannot open " + output + " for writing.");
    write_archive_file(disk, output, waves);
}

} // namespace

int main(int argc, char** argv) {
    platform::ignore_broken_pipe();
    if (argc < 2) {
        print_help();
        return 1;
    }
    try {
        disk& disk = platform::host_disk();
        archive_options options;
        options.parse(argc, argv);
        input_guard inputs(disk, options);
        for (const std::string& list : options.operands())
            build_archive(disk, list, options, inputs);
        return 0;
    } catch (const cmdline_exception& e) {
        std::cerr << "wendle: " << e.what() << std::endl
                  << "Try 'wendle --help' for more information." << std::endl;
    } catch (const my_exception& e) {
        std::cerr << "wendle: " << e.message() << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "wendle: Unexpected exception" << std::endl
                  << " message:" << e.what() << std::endl;
    } catch (...) {
        std::cerr << "wendle: Unexpected exception" << std::endl;
    }
    return 1;
}
