#include "driver.h"

#include "archive_writer.h"
#include "list_file.h"
#include "my_exception.h"
#include "options.h"
#include "output_guard.h"
#include "up_to_date.h"

#include "util/stream.h"

#include <exception>
#include <string>
#include <vector>

namespace {

void print_help(std::ostream& out) {
    for (const char* line : help_lines())
        out << line << std::endl;
}

// Writes the archive of `waves` to `path`; on any failure the output is taken
// back (see output_guard).
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
void build_archive(disk& disk, const std::string& path, const archive_options& options,
                   input_guard& inputs, std::ostream& out) {
    const std::string output = options.output_for(path);
    const list_file list(disk, path);
    if (options.update() && archive_is_current(disk, path, list.waves(), output)) {
        if (options.verbose())
            out << "wendle: " << output << " is update." << std::endl;
        return;
    }
    if (inputs.is_input(output, path, list.waves()))
        throw my_exception("Cannot open " + output + " for writing.");
    write_archive_file(disk, output, list.waves());
}

} // namespace

int run_wendle(disk& disk, int argc, const char* const* argv, std::ostream& out,
               std::ostream& err) {
    if (argc < 2) {
        print_help(out);
        return 1;
    }
    try {
        archive_options options;
        options.parse(argc, argv);
        // With -o every archive goes to one output, which must be none of
        // the list files.
        input_guard inputs(
            disk, options.output().empty() ? std::vector<std::string>() : options.operands());
        for (const std::string& list : options.operands())
            build_archive(disk, list, options, inputs, out);
        return 0;
    } catch (const help_requested&) {
        print_help(out);
        return 0;
    } catch (const cmdline_exception& e) {
        err << "wendle: " << e.what() << std::endl
            << "Try 'wendle --help' for more information." << std::endl;
    } catch (const my_exception& e) {
        err << "wendle: " << e.message() << std::endl;
    } catch (const std::exception& e) {
        err << "wendle: Unexpected exception" << std::endl << " message:" << e.what() << std::endl;
    } catch (...) {
        err << "wendle: Unexpected exception" << std::endl;
    }
    return 1;
}
