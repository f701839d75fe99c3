#include "arc/ArcEntryVisitor.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "fcl/MemoryStream.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace XALArc;
using testsupport::ChildNames;
using testsupport::Fill;
using testsupport::Throws;

namespace {

TEST(ArchiveTree, PathResolutionFollowsTheRootAndComponentRules) {
    CArchive archive(false);
    CDirEntry* a = archive.CreateDirectory("/a");
    CFileEntry* f = archive.CreateFile("/f");
    EXPECT_EQ(archive.FindEntry(""), &archive.root);
    EXPECT_EQ(archive.FindEntry("/"), nullptr);
    EXPECT_EQ(archive.FindEntry("/a/"), nullptr);
    EXPECT_EQ(archive.FindEntry("/a"), a);
    EXPECT_EQ(archive.CreateDirectory("/"), &archive.root);
    EXPECT_EQ(archive.CreateDirectory("/a//b"), a);
    EXPECT_EQ(ChildNames(*a), std::vector<std::string>{});

    const struct {
        std::function<void()> action;
        std::int32_t code;
        std::string subject;
    } refusals[] = {
        {[&] { archive.CreateFile("/a/"); }, CArcException::kNoFileName, "/a/"},
        {[&] { archive.CreateFile("/a//b"); }, CArcException::kNoFileName, "/a//b"},
        {[&] { archive.FindEntry("/.."); }, CArcException::kRootParent, ".."},
        {[&] { archive.FindEntry("/f/x"); }, CArcException::kFileExists, "/f/x"},
        {[&] { archive.FindFile("/a"); }, CArcException::kDirectoryExists, "/a"},
        {[&] { archive.CreateDirectory("/f/x"); }, CArcException::kFileExists, "f"},
        {[&] { archive.CreateFile("/a"); }, CArcException::kDirectoryExists, "a"},
        {[&] { archive.FindEntry("a/b"); }, CArcException::kNotAbsolute, "a/b"},
    };
    for (const auto& r : refusals)
        EXPECT_TRUE(Throws<CArcException>(r.action, r.code, r.subject)) << r.subject;

    CFileEntry* b = archive.CreateFile("/b");
    EXPECT_EQ(archive.FindEntry("/a/../b"), b);
    EXPECT_EQ(archive.FindEntry("/./f"), f);
}

TEST(ArchiveTree, NamesMatchWithoutRegardToAsciiCaseOnly) {
    CArchive archive(false);
    CDirEntry* data = archive.CreateDirectory("/Data");
    EXPECT_EQ(archive.FindEntry("/DATA"), data);
    CFileEntry* x = archive.CreateFile("/data/x.bin");
    EXPECT_EQ(archive.CreateFile("/DATA/X.BIN"), x);
    EXPECT_EQ(ChildNames(archive.root), std::vector<std::string>{"Data"});
    // Bytes above 0x7F are compared exactly.
    archive.CreateFile("/\xC3\x89");
    EXPECT_EQ(archive.FindEntry("/\xC3\xA9"), nullptr);
}

TEST(ArchiveTree, SortedDirectoriesInsertInUnsignedByteOrder) {
    CArchive sorted(true);
    // "/B" and "/a" find the existing b and A.
    for (const char* name : {"/b", "/A", "/a_", "/C", "/B", "/\xE9", "/ab", "/a"})
        sorted.CreateFile(name);
    EXPECT_EQ(ChildNames(sorted.root),
              (std::vector<std::string>{"A", "C", "a_", "ab", "b", "\xE9"}));
    CArchive unsorted(false);
    for (const char* name : {"/b", "/A", "/a_", "/C"})
        unsorted.CreateFile(name);
    EXPECT_EQ(ChildNames(unsorted.root), (std::vector<std::string>{"b", "A", "a_", "C"}));

    // Switching sorting on is refused once there are children.
    EXPECT_FALSE(unsorted.root.SetSorted(true));
    EXPECT_FALSE(unsorted.root.sorted);
    EXPECT_TRUE(unsorted.root.SetSorted(false));
}

TEST(ArchiveTree, SortedInsertionIntoStoredOrderScansLikeTheList) {
    CArchive archive(false);
    for (const char* name : {"/c", "/a", "/e"})
        archive.CreateFile(name);
    archive.root.ApplySortRule(true);
    archive.CreateFile("/b");
    EXPECT_EQ(ChildNames(archive.root), (std::vector<std::string>{"b", "c", "a", "e"}));
    archive.root.SortByName();
    EXPECT_EQ(ChildNames(archive.root), (std::vector<std::string>{"a", "b", "c", "e"}));
    archive.CreateFile("/d");
    EXPECT_EQ(ChildNames(archive.root), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST(ArchiveTree, CountingAndRemovingEmptyDirectories) {
    CArchive archive(false);
    archive.CreateDirectory("/x/y");
    archive.CreateFile("/z/f");
    archive.CreateFile("/g");
    EXPECT_EQ(archive.root.CountFiles(), 2);
    EXPECT_EQ(archive.root.RemoveEmptyDirectories(), 2);
    EXPECT_EQ(ChildNames(archive.root), (std::vector<std::string>{"z", "g"}));
    EXPECT_EQ(archive.FindEntry("/x"), nullptr);

    delete archive.FindEntry("/z");
    EXPECT_EQ(archive.FindEntry("/z/f"), nullptr);
    EXPECT_EQ(archive.root.entries.count, 1);
    archive.root.DeleteAll();
    EXPECT_EQ(archive.root.RemoveEmptyDirectories(), 0);
    EXPECT_TRUE(archive.root.entries.Empty());
}

TEST(ArchiveTree, CompareNeedsEqualNonEmptyContents) {
    CArchive archive(false);
    CFileEntry* f = archive.CreateFile("/f");
    Fill(*f, std::string("ab\x80", 3));
    const std::string same("ab\x80", 3), other("ab\x81", 3);
    XALFcl::CMemoryInputStream s1(same.data(), 3), s2(other.data(), 3), s3(same.data(), 3);
    EXPECT_TRUE(f->Compare(s1, 3));
    EXPECT_FALSE(f->Compare(s2, 3));
    EXPECT_FALSE(f->Compare(s3, 2));

    CFileEntry* empty = archive.CreateFile("/e");
    XALFcl::CMemoryInputStream none(same.data(), 0);
    EXPECT_FALSE(empty->Compare(none, 0));
    Fill(*empty, "");
    EXPECT_FALSE(empty->Compare(none, 0));
}

// Records the calls of a walk as text.
class Recorder : public CArcEntryVisitor {
public:
    void EnterDirectory(CDirEntry& d) override { log.push_back("enter " + d.name); }
    void LeaveDirectory(CDirEntry& d) override { log.push_back("leave " + d.name); }
    void EndOfEntries(CDirEntry& d) override { log.push_back("end " + d.name); }
    int Visit(CArcEntry& e) override {
        log.push_back("visit " + e.name);
        return e.name == stopAt ? 1 : 0;
    }
    std::vector<std::string> log;
    std::string stopAt;
};

TEST(ArchiveTree, WalkVisitsChildrenBeforeEnteringSubdirectories) {
    CArchive archive(false);
    for (const char* p : {"/a", "/s1/x", "/s1/d/y", "/b", "/s2/z"})
        archive.CreateFile(p);
    Recorder r;
    EXPECT_EQ(archive.Walk(r), 0);
    EXPECT_EQ(r.log,
              (std::vector<std::string>{"enter ",   "visit a",  "visit s1", "visit b",  "visit s2",
                                        "end ",     "enter s1", "visit x",  "visit d",  "end s1",
                                        "enter d",  "visit y",  "end d",    "leave d",  "leave s1",
                                        "enter s2", "visit z",  "end s2",   "leave s2", "leave "}));

    Recorder flat;
    archive.root.Walk(flat, false);
    EXPECT_EQ(flat.log.size(), 7u);

    Recorder stop;
    stop.stopAt = "x";
    EXPECT_EQ(archive.Walk(stop), 1);
    EXPECT_EQ(stop.log.back(), "leave ");
    EXPECT_EQ(std::count(stop.log.begin(), stop.log.end(), "enter d"), 0);
}

// An operand can name tens of thousands of levels: building, walking,
// counting, sorting, pruning and destroying such a tree must not recurse per
// level (each would overflow a 1 MiB stack long before 100,000).
TEST(ArchiveTree, VeryDeepTreesNeverRecursePerLevel) {
    const int depth = 100000;
    std::string path;
    for (int i = 0; i < depth; ++i)
        path += "/d";
    CArchive archive(true);
    archive.CreateFile(path + "/f");
    archive.CreateDirectory("/e" + path);
    EXPECT_EQ(archive.root.CountFiles(), 1);
    archive.root.ApplySortRule(false);
    archive.root.SortByName();

    Recorder all;
    EXPECT_EQ(archive.Walk(all), 0);
    EXPECT_EQ(std::count(all.log.begin(), all.log.end(), "leave d"), 2 * depth);
    Recorder stop;
    stop.stopAt = "f";
    EXPECT_EQ(archive.Walk(stop), 1);
    EXPECT_EQ(std::count(stop.log.begin(), stop.log.end(), "enter d"),
              std::count(stop.log.begin(), stop.log.end(), "leave d"));
    EXPECT_EQ(stop.log.back(), "leave ");

    EXPECT_EQ(archive.root.RemoveEmptyDirectories(), 1);
    EXPECT_EQ(ChildNames(archive.root), std::vector<std::string>{"d"});
    delete archive.FindEntry(path.substr(0, 20000));
    EXPECT_EQ(archive.root.RemoveEmptyDirectories(), 0);
    archive.CreateFile(path + "/g");
}

// Random edits of small directories against the plain list with the
// insertion scan: stored-order appends leave the list out of name order,
// and sorted insertion must still land exactly where the scan would put it.
TEST(ArchiveTree, SortedInsertionMatchesTheScanAfterAnyEdits) {
    std::mt19937 random(2024);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 3000; ++round) {
        CArchive archive(false);
        std::vector<std::string> model;
        for (int step = 0; step < 24; ++step) {
            const int action = pick(10);
            if (action == 0 && !model.empty()) {
                const std::string gone =
                    model[static_cast<std::size_t>(pick(static_cast<int>(model.size())))];
                delete archive.FindEntry("/" + gone);
                model.erase(std::find(model.begin(), model.end(), gone));
            } else if (action == 1 && pick(4) == 0) {
                archive.root.DeleteAll();
                model.clear();
            } else if (action == 2 && pick(4) == 0) {
                archive.root.SortByName();
                std::sort(model.begin(), model.end());
            } else {
                std::string name;
                for (int length = 1 + pick(3); length > 0; --length)
                    name += "aBb_\xE9"[pick(5)];
                if (archive.FindEntry("/" + name) != nullptr)
                    continue;
                archive.root.sorted = action > 5;
                archive.CreateFile("/" + name);
                auto at = model.end();
                if (archive.root.sorted)
                    at = std::find_if(model.begin(), model.end(),
                                      [&](const std::string& n) { return !(n < name); });
                model.insert(at, name);
            }
            ASSERT_EQ(ChildNames(archive.root), model) << "round " << round << " step " << step;
        }
    }
}

// Sorted insertion of 65,535 names costs n log n however the directory was
// filled before: new, loaded out of name order, or loaded so and emptied.
TEST(ArchiveTree, ManyFilesInOneDirectoryStayFast) {
    for (int start = 0; start < 3; ++start) {
        CArchive archive(start == 0);
        if (start > 0) {
            archive.CreateFile("/a0");
            archive.CreateFile("/B0");
            archive.root.ApplySortRule(true);
        }
        if (start == 2)
            archive.root.DeleteAll();
        for (int i = 65535; i > 0; --i)
            archive.CreateFile("/f" + std::to_string(i));
        EXPECT_EQ(archive.root.CountFiles(), start == 1 ? 65537 : 65535);
        EXPECT_EQ(ChildNames(archive.root)[start == 1 ? 2 : 0], "f1");
        EXPECT_NE(archive.FindFile("/F777"), nullptr);
    }
}

} // namespace

namespace {

// A directory filled while its sorting is deferred ends in the order that
// sorted insertion gives, whatever came and went meanwhile, and its
// subdirectories still sort as they are filled.
TEST(ArchiveTree, DeferredSortingEndsInTheOrderOfSortedInsertion) {
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        CArchive plain(true);
        CArchive deferred(true);
        deferred.root.DeferSorting();
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            std::string name;
            for (int length = 1 + static_cast<int>(random() % 4); length > 0; --length)
                name += "aBb_\xE9"[random() % 5];
            if (plain.FindEntry("/" + name) != nullptr)
                continue;
            const bool twoFiles = random() % 5 == 0;
            for (CArchive* archive : {&plain, &deferred}) {
                if (twoFiles)
                    archive->CreateFile("/" + name + "/z");
                archive->CreateFile("/" + name + "/" + name);
            }
            if (random() % 6 == 0) {
                delete plain.FindEntry("/" + name);
                delete deferred.FindEntry("/" + name);
            }
        }
        deferred.root.ResumeSorting();
        ASSERT_EQ(ChildNames(deferred.root), ChildNames(plain.root)) << "round " << round;
        for (CArcEntry* child = plain.root.entries.First(); child != nullptr;
             child = plain.root.entries.Next(child))
            ASSERT_EQ(ChildNames(*deferred.FindEntry("/" + child->name)->AsDirectory()),
                      ChildNames(*child->AsDirectory()));
    }
}

} // namespace
