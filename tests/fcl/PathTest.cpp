#include "fcl/Path.h"

#include <gtest/gtest.h>

using namespace XALFcl;

namespace {

std::string Added(std::string path) {
    return AddExtension(path, "kpak");
}
std::string Replaced(std::string path) {
    return ReplaceExtension(path, "kpak");
}

TEST(PathTest, AddExtensionOnlyWhenThereIsNoDotAnywhere) {
    EXPECT_EQ(Added("arc"), "arc.kpak");
    EXPECT_EQ(Added("arc.bin"), "arc.bin");
    EXPECT_EQ(Added("dir.old/arc"), "dir.old/arc");
    EXPECT_EQ(Added("../arc"), "../arc");
    EXPECT_EQ(Added(""), ".kpak");
}

TEST(PathTest, ReplaceExtensionCutsAtTheLastDotAnywhere) {
    EXPECT_EQ(Replaced("a.b.c"), "a.b.kpak");
    EXPECT_EQ(Replaced("dir.old/arc"), "dir.kpak");
    EXPECT_EQ(Replaced("arc"), "arc.kpak");
    EXPECT_EQ(Replaced("arc."), "arc.kpak");
    EXPECT_EQ(Replaced("../arc"), "..kpak");
}

TEST(PathTest, ReplaceCharChangesEveryOccurrence) {
    std::string path = "a\\b\\\\c";
    EXPECT_EQ(ReplaceChar(path, '\\', '/'), "a/b//c");
}

} // namespace
