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

    // Runs the program with `args` in the directory and waits for it.
    RunResult Run(const std::vector<std::string>& args) const;
    // Whether the program run is the Windows build (see ProgramTest.cpp),
    // for the few expectations that follow the host.
    static bool RunsWindowsProgram();
    // Writes `bytes` to `rel`, making the directories above it; with
    // `time`, dates it `time` seconds after 1970.
    void Write(const std::string& rel, const std::string& bytes) const;
    void Write(const std::string& rel, const std::string& bytes, std::int64_t time) const;
    std::string Read(const std::string& rel) const;

    const std::string program;
    TempDir dir;
};

} // namespace testsupport
