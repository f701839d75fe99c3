#include "fcl/Text.h"

#include <gtest/gtest.h>

#include <regex>

using namespace XALFcl;

namespace {

TEST(TextTest, CharacterClassesAreAsciiOnly) {
    EXPECT_TRUE(IsAsciiLetter('z'));
    EXPECT_FALSE(IsAsciiLetter('\xE9'));
    EXPECT_FALSE(IsAsciiDigit('\xB2'));
    EXPECT_TRUE(IsAsciiSpace('\v'));
    EXPECT_FALSE(IsAsciiSpace('\xA0'));
    EXPECT_EQ(ToAsciiLower('Q'), 'q');
    std::string text = "ab\xE9z_1";
    EXPECT_EQ(ToUpper(text), "AB\xE9Z_1");
}

TEST(TextTest, MakeIdentifierReplacesAndGuardsALeadingDigit) {
    std::string text = "1st-file.bin";
    EXPECT_EQ(MakeIdentifier(text), "_1st_file_bin");
    text = "a\xC3\xA9 b";
    EXPECT_EQ(MakeIdentifier(text), "a___b");
    text = "";
    EXPECT_EQ(MakeIdentifier(text), "");
}

TEST(TextTest, MakeSymbolAddsOneUnderscoreAndThePrefix) {
    std::string text = "a.bin";
    EXPECT_EQ(MakeSymbol(text, "X"), "X_a_bin");
    text = "_a";
    EXPECT_EQ(MakeSymbol(text, "X"), "X_a");
    text = "/dir/1.bin";
    EXPECT_EQ(MakeSymbol(text, "KPAK"), "KPAK_dir_1_bin");
    text = "";
    EXPECT_EQ(MakeSymbol(text, "X"), "X_");
}

TEST(TextTest, TimeStampHasTheIsoShape) {
    EXPECT_TRUE(std::regex_match(
        GetTimeStamp(), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}")));
}

} // namespace
