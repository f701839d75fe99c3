#include "arc/PathString.h"

#include <gtest/gtest.h>

using XALArc::CPathString;

TEST(PathString, AppendAddsOneSeparatorOnlyWhereNeeded) {
    EXPECT_EQ(CPathString("a/", '/').Append("b"), 2u);
    // Path, appended part, result.
    const char* const cases[][3] = {
        {"a/", "b", "a/b"}, {"a", "b", "a/b"}, {"", "b", "b"}, {"a", "/b", "a/b"}, {"/", "", "/"},
    };
    for (const auto& c : cases) {
        CPathString p(c[0], '/');
        p.Append(c[1]);
        EXPECT_EQ(p.str(), c[2]) << c[0] << " + " << c[1];
    }
}

TEST(PathString, RemoveLastAndDirectoryParts) {
    // Path, what is left of it.
    const char* const cases[][2] = {{"/a", "/"}, {"a", ""}, {"x/y/z", "x/y"}};
    for (const auto& c : cases) {
        CPathString p(c[0], '/');
        p.RemoveLast();
        EXPECT_EQ(p.str(), c[1]) << c[0];
    }

    CPathString d("", '/');
    d.SetDirectory("scripts/list.txt");
    EXPECT_EQ(d.str(), "scripts/");
    d.SetDirectory("list.txt");
    EXPECT_EQ(d.str(), "");

    CPathString n("/", '/');
    n.AppendName("a/b/c.bin");
    EXPECT_EQ(n.str(), "/c.bin");
}

TEST(PathString, NormalizeTurnsTheOtherSeparator) {
    CPathString archive("\\data\\a.bin", '/');
    EXPECT_EQ(archive.str(), "/data/a.bin");
    CPathString windows("data/a.bin", '\\');
    EXPECT_EQ(windows.str(), "data\\a.bin");
}
