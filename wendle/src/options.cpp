#include "options.h"

#include "platform.h"

#include <utility>

const std::vector<const char*>& help_lines() {
    static const std::vector<const char*> lines = {
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
    return lines;
}

archive_options::archive_options() {
    add_option("h", false);
    add_option("help", false);
    add_option("v", false);
    add_option("verbose", false);
    add_option("u", false);
    add_option("update", false);
    add_option("o", true);
}

std::string archive_options::output_for(const std::string& list) const {
    if (!output_.empty())
        return output_;
    const std::size_t dot = list.find_last_of('.');
    return (dot == std::string::npos ? list : list.substr(0, dot)) + ".swar";
}

void archive_options::on_option(std::string name, std::string value) {
    if (name == "help" || name == "h")
        throw help_requested{};
    if (name == "verbose" || name == "v")
        verbose_ = true;
    else if (name == "update" || name == "u")
        update_ = true;
    else if (name == "o")
        output_ = platform::host_path(std::move(value));
}

void archive_options::on_operand(std::string text) {
    operands_.push_back(platform::host_path(std::move(text)));
}
