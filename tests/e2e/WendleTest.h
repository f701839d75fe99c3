#pragma once

// The fixture of wendle's end-to-end tests.

#include "ProgramTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class WendleTest : public testsupport::ProgramTest {
protected:
    WendleTest() : ProgramTest(WENDLE_EXE) {}

    // A run that succeeds, printing `out` and nothing on standard error.
    void ExpectSuccess(const std::vector<std::string>& args, const std::string& out = "") const {
        const auto r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, "");
    }
    // A run that fails with `message` alone.
    void ExpectFailure(const std::vector<std::string>& args, const std::string& message) const {
        const auto r = Run(args);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(r.err, "wendle: " + message + "\n");
    }
};
