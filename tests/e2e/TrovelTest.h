#pragma once

// The fixture of trovel's end-to-end tests, and the lines that open its
// verbose output and its listing.

#include "ProgramTest.h"

#include <string>
#include <vector>

constexpr const char* kBanner = "QUORVANE VELKO-System Archiver ver 1.1.0w\n\n";
constexpr const char* kListHead =
    "\nfileID:  byte(s) name\n----------------------------------------\n";

class TrovelTest : public testsupport::ProgramTest {
protected:
    TrovelTest() : ProgramTest(TROVEL_EXE) {}
    testsupport::RunResult Trovel(const std::vector<std::string>& args) const { return Run(args); }
};
