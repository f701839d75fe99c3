#include "arc/PathString.h"

#include <gtest/gtest.h>

using XALArc::CPathString;

TEST(PathString, AppendAddsOneSeparatorOnlyWhereNeeded) {
    CPathString p("a/", '/');
    EXPECT_EQ(p.Append("b"), 2u);
    EXPECT_EQ(p.str(), "a/b");
    CPathString q("a", '/');
    q.Append("b");
    EXPECT_EQ(q.str(), "a/b");
    CPathString r("", '/');
    r.Append("b");
    EXPECT_EQ(r.str(), "b");
    CPathString s("a", '/');
    s.Append("/b");
    EXPECT_EQ(s.str(), "a/b");
    CPathString root("/", '/');
    root.Append("");
    EXPECT_EQ(root.str(), "/");
}

TEST(PathString, RemoveLastAndDirectoryParts) {
    CPathString p("/a", '/');
    p.RemoveLast();
    EXPECT_EQ(p.str(), "/");
    CPathString q("a", '/');
    q.RemoveLast();
    EXPECT_EQ(q.str(), "");
    CPathString r("x/y/z", '/');
    r.RemoveLast();
    EXPECT_EQ(r.str(), "x/y");

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
