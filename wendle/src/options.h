#pragma once

// The command line of wendle: its options, its operands (the list files) and
// its help text.

#include "util/cmdline.h"

#include <string>
#include <vector>

// -h or --help was given: the parse stops there, unread arguments are never
// looked at, and the help is printed.
struct help_requested {};

// The lines of the help text, without line ends.
const std::vector<const char*>& help_lines();

// The options and operands of one run. Paths enter in the host's spelling.
class archive_options : public cmdline_parser {
public:
    archive_options();

    const std::vector<std::string>& operands() const { return operands_; }
    bool verbose() const { return verbose_; }
    bool update() const { return update_; }
    const std::string& output() const { return output_; }

    // Where the archive of the list file `list` goes: the -o value if there
    // is one, else the list's name up to its last "." (anywhere in the
    // path), then ".swar".
    std::string output_for(const std::string& list) const;

protected:
    void on_option(std::string name, std::string value) override;
    void on_operand(std::string text) override;

private:
    std::vector<std::string> operands_;
    bool verbose_ = false;
    bool update_ = false;
    std::string output_;
};
