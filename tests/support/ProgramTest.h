#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The fixture of an end-to-end test: a built program run in a fresh
// temporary directory, with whole-file helpers whose paths are relative to
// that directory.
class ProgramTest : public ::testing::Test {
protected:
    explicit ProgramTest(std::string program);

    // Runs the program with `args` in the directory, or in `cwd`, and waits
    // for it; its output reads as on POSIX (see AsOnPosix).
    RunResult Run(const std::vector<std::string>& args) const;
    RunResult RunIn(const std::string& cwd, const std::vector<std::string>& args) const;
    // Whether the program run is the Windows build (see ProgramTest.cpp),
    // for the few expectations that follow the host.
    static bool RunsWindowsProgram();
    // The output of a run of the program, as the POSIX build writes it: with
    // the Windows build, its line ends become "\n" and its "\" separators
    // "/". PosixLineEnds changes the line ends alone, for output that also
    // holds names with "\" in them.
    static RunResult AsOnPosix(RunResult result);
    static std::string PosixLineEnds(const std::string& text);
    // `path`, spelled with "/", as the program composes it on its host.
    static std::string HostPath(std::string path);
    // The bytes of a text file that the program writes on its host from
    // `text`, whose lines end in "\n".
    static std::string HostText(const std::string& text);
    // Writes `bytes` to `rel`, making the directories above it; with
    // `time`, dates it `time` seconds after 1970.
    void Write(const std::string& rel, const std::string& bytes) const;
    void Write(const std::string& rel, const std::string& bytes, std::int64_t time) const;
    std::string Read(const std::string& rel) const;

    const std::string program;
    TempDir dir;
};

} // namespace testsupport
