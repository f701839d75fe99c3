#include "path_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PathParts, SplitsDriveDirectoryNameAndExtension) {
    const path_parts p("C:\\snd/se\\beep.old.swav");
    EXPECT_EQ(p.drive(), "C:");
    EXPECT_TRUE(p.rooted());
    EXPECT_EQ(p.directories(), (std::vector<std::string>{"snd", "se"}));
    EXPECT_EQ(p.file_name(), "beep.old");
    EXPECT_EQ(p.extension(), ".swav");
    EXPECT_EQ(path_parts("set.old/list").extension(), "");
    EXPECT_EQ(path_parts("C:w.swav").full_text(), "C:/w.swav");

    const path_parts unc("\\\\server\\share\\w.swav");
    EXPECT_TRUE(unc.unc());
    EXPECT_EQ(unc.host(), "server");
    EXPECT_EQ(unc.full_text(), "//server/share/w.swav");
}

TEST(PathParts, DropsDotAndEmptyComponentsAndFoldsDotDotByText) {
    EXPECT_EQ(path_parts("a/./b//../c/x").full_text(), "a/c/x");
    EXPECT_EQ(path_parts("../../a/../b").full_text(), "../../b");
    EXPECT_EQ(path_parts("/../a").full_text(), "/../a");
    const std::string longer(300, 'x');
    EXPECT_EQ(path_parts(longer + "/" + longer + "." + longer).full_text(),
              longer + "/" + longer + "." + longer);
}

TEST(DirectoryOf, IsTheDirectoryTextOrDotSlash) {
    EXPECT_EQ(directory_of("list.txt"), "./");
    EXPECT_EQ(directory_of("a/../list.txt"), "./");
    EXPECT_EQ(directory_of("set/./list.txt"), "set/");
    EXPECT_EQ(directory_of("/abs/list.txt"), "/abs/");
}

TEST(JoinPath, ResolvesRelativeNamesAgainstTheDirectoryAndKeepsRootedOnes) {
    EXPECT_EQ(join_path("a.swav", "sub/"), "sub/a.swav");
    EXPECT_EQ(join_path("a.swav", "./"), "a.swav");
    EXPECT_EQ(join_path("../w.swav", "set/"), "w.swav");
    EXPECT_EQ(join_path("../w.swav", "./"), "../w.swav");
    EXPECT_EQ(join_path("C:\\w\\a.swav", "set/"), "C:/w/a.swav");
    EXPECT_EQ(join_path("/w/../v/a.swav", "set/"), "/v/a.swav");
    EXPECT_EQ(join_path("//host/share/a.swav", "set/"), "//host/share/a.swav");
}

} // namespace
