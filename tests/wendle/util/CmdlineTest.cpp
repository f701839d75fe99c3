#include "util/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using calls = std::vector<std::string>;

// wendle's option set, recording every callback in order.
class recording_parser : public cmdline_parser {
public:
    recording_parser() {
        for (const char* name : {"h", "help", "v", "verbose", "u", "update"})
            add_option(name, false);
        add_option("o", true);
    }
    using cmdline_parser::add_option;

    // The callbacks made for `args`, then "error:<message>" if parsing failed.
    calls run(const std::vector<std::string>& args) {
        std::vector<const char*> argv{"wendle"};
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        try {
            parse(static_cast<int>(argv.size()), argv.data());
        } catch (const cmdline_exception& e) {
            calls_.push_back(std::string("error:") + e.what());
        }
        return calls_;
    }

protected:
    void on_option(std::string name, std::string value) override {
        calls_.push_back("option:" + name + "=" + value);
    }
    void on_operand(std::string text) override { calls_.push_back("operand:" + text); }

private:
    calls calls_;
};

TEST(CmdlineParser, ReportsOptionsAndOperandsInCommandLineOrder) {
    EXPECT_EQ(recording_parser().run({"a.txt", "-v", "b.txt", "--update", "-vu"}),
              (calls{"operand:a.txt", "option:v=", "operand:b.txt",
                     "option:update=", "option:v=", "option:u="}));
}

TEST(CmdlineParser, OptionArgumentIsTheNextArgumentWhateverItLooksLike) {
    EXPECT_EQ(recording_parser().run({"-ov", "x", "-o", "-v", "-o", "--", "a"}),
              (calls{"option:v=", "option:o=x", "option:o=-v", "option:o=--", "operand:a"}));
    recording_parser parser;
    parser.add_option("p", true);
    parser.add_option("output", true);
    EXPECT_EQ(parser.run({"-op", "x", "--output", "-h"}),
              (calls{"option:p=x", "option:output=-h"}));
}

TEST(CmdlineParser, RefusesMalformedArgumentsWithGetoptMessages) {
    const struct {
        std::vector<std::string> args;
        calls expected;
    } cases[] = {
        {{"-"}, {"error:unrecognized option '-'"}},
        {{"--"}, {"error:unrecognized option '--'"}},
        {{"--o"}, {"error:unrecognized option '--o'"}},
        {{"--verbose=1"}, {"error:unrecognized option '--verbose=1'"}},
        {{"-vx", "-h"}, {"option:v=", "error:invalid option -- x"}},
        {{"-ofile"}, {"error:invalid option -- f"}},
        {{"-vo"}, {"option:v=", "error:option requires an argument -- o"}},
        {{"a", "", "-h"}, {"operand:a", "error:empty argument is not allowed"}},
        {{"-o", ""}, {"error:empty argument is not allowed"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recording_parser().run(c.args), c.expected) << c.expected.back();

    recording_parser parser;
    parser.add_option("output", true);
    EXPECT_EQ(parser.run({"--output"}), calls{"error:option '--output' requires an argument"});
}

TEST(CmdlineParser, RegisteringANameAgainReplacesItsFlagAndEmptyNamesAreIgnored) {
    recording_parser parser;
    parser.add_option("o", false);
    parser.add_option("", true);
    EXPECT_EQ(parser.run({"-o", "a", "--"}),
              (calls{"option:o=", "operand:a", "error:unrecognized option '--'"}));
}

} // namespace
