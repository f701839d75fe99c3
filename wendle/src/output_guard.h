#pragma once

// What an output may do to the files around it: never overwrite an input of
// the run, and never stay behind half written.

#include "util/disk.h"
#include "util/stream.h"

#include <set>
#include <string>
#include <vector>

// Tells whether writing an output would overwrite an input of the run: the
// list file at hand, one of its wave files, or any of `lists` (with -o, every
// list file of the run). Two paths are the same when their normalised texts
// are, or when both lead to one file. The output is identified once per test
// and each input once; with many list files, comparing every pair would take
// quadratic time.
class input_guard {
public:
    input_guard(disk& disk, std::vector<std::string> lists);

    bool is_input(const std::string& output, const std::string& list,
                  const std::vector<std::string>& waves);

private:
    disk& disk_;
    std::vector<std::string> lists_;
    std::set<std::string> list_texts_;
    std::set<file_id> list_files_;
    bool lists_identified_ = false;
};

// Takes back the output it watches unless the archive in it was completed, so
// that a failed run leaves no partial archive behind: it closes the file,
// then empties it and removes its name (see discard).
class output_guard {
public:
    output_guard(disk& disk, strm::output_file& file, std::string path);
    output_guard(const output_guard&) = delete;
    output_guard& operator=(const output_guard&) = delete;
    ~output_guard();

    void keep() { kept_ = true; }

private:
    void discard();

    disk& disk_;
    strm::output_file& file_;
    std::string path_;
    // What the output was opened as: only a regular file is ever touched.
    bool regular_ = false;
    file_id id_;
    bool kept_ = false;
};
