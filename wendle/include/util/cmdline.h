#pragma once

// A small command-line parser in the manner of getopt. A program derives its
// option set from cmdline_parser, registers the options by name, and receives
// every option and every operand through two callbacks, strictly in the order
// in which they stand on the command line.

#include <exception>
#include <map>
#include <sstream>
#include <string>
#include <utility>

// A command line that the parser cannot accept. The message names the fault
// in getopt's words, without program name and without line end.
class cmdline_exception : public std::exception {
public:
    explicit cmdline_exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class cmdline_parser {
public:
    virtual ~cmdline_parser() = default;

    // Registers an option by its name without dashes: one character makes a
    // short option (-x), anything longer a long one (--name). Registering a
    // name again replaces its flag; an empty name is ignored.
    void add_option(const std::string& name, bool takes_argument) {
        if (name.empty())
            return;
        if (name.size() == 1)
            short_options_[name[0]] = takes_argument;
        else
            long_options_[name] = takes_argument;
    }

    // Walks argv[1] to argv[argc - 1] and calls back for each option and
    // operand. The first fault ends the parse with cmdline_exception; the
    // callbacks made before it stay made.
    void parse(int argc, const char* const* argv) {
        bool pending = false;
        std::string pending_name;
        for (int index = 1; index < argc; ++index) {
            const std::string argument = argv[index];
            if (argument.empty())
                fail("empty argument is not allowed");
            if (pending) {
                // The argument of an option is taken whole, even when it
                // looks like an option itself.
                pending = false;
                on_option(pending_name, argument);
            } else if (argument[0] != '-') {
                on_operand(argument);
            } else if (argument == "-") {
                fail("unrecognized option '-'");
            } else if (argument[1] == '-') {
                const std::string name = argument.substr(2);
                const auto found = long_options_.find(name);
                if (found == long_options_.end())
                    fail("unrecognized option '", argument, "'");
                if (found->second) {
                    pending = true;
                    pending_name = name;
                } else {
                    on_option(name, std::string());
                }
            } else {
                // A cluster of short options. An option that takes an
                // argument waits for the next command-line argument; the
                // rest of the cluster is still read as options.
                for (std::size_t i = 1; i < argument.size(); ++i) {
                    const char letter = argument[i];
                    const auto found = short_options_.find(letter);
                    if (found == short_options_.end())
                        fail("invalid option -- ", letter);
                    if (found->second) {
                        pending = true;
                        pending_name = std::string(1, letter);
                    } else {
                        on_option(std::string(1, letter), std::string());
                    }
                }
            }
        }
        if (pending) {
            if (pending_name.size() == 1)
                fail("option requires an argument -- ", pending_name);
            fail("option '--", pending_name, "' requires an argument");
        }
    }

protected:
    // An option, named without dashes; value is its argument, or empty.
    virtual void on_option(std::string name, std::string value) {
        static_cast<void>(name);
        static_cast<void>(value);
    }
    virtual void on_operand(std::string text) { static_cast<void>(text); }

private:
    template <typename... Parts>
    [[noreturn]] static void fail(const Parts&... parts) {
        std::ostringstream message;
        (message << ... << parts);
        throw cmdline_exception(message.str());
    }

    std::map<char, bool> short_options_;
    std::map<std::string, bool> long_options_;
};
