#include "fcl/FileName.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using XALFcl::IsPosixReservedName;
using XALFcl::IsWindowsReservedName;

namespace {

TEST(FileNameTest, WindowsRefusesWhatPosixRefusesAndMore) {
    for (const char* name : {"a.bin", "console.txt", "COM10"}) {
        EXPECT_FALSE(IsPosixReservedName(name)) << name;
        EXPECT_FALSE(IsWindowsReservedName(name)) << name;
    }
    for (const std::string& name :
         std::initializer_list<std::string>{"a/b", "..", ".", "", std::string("a\0b", 3)}) {
        EXPECT_TRUE(IsPosixReservedName(name)) << name;
        EXPECT_TRUE(IsWindowsReservedName(name)) << name;
    }
    for (const char* name : {"a\\b", "c:x", "a<b", "a|b", "a?b", "a*b", "tab\there", "dot.",
                             "space ", "CON", "nul", "Aux.txt", "com1", "LPT9.bin", "prn .h"}) {
        EXPECT_FALSE(IsPosixReservedName(name)) << name;
        EXPECT_TRUE(IsWindowsReservedName(name)) << name;
    }
}

} // namespace
