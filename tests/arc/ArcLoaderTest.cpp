#include "arc/ArcLoader.h"
#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"

#include "ArcBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace XALArc;
using namespace arcbytes;
using testsupport::Bytes;
using testsupport::U16LE;
using testsupport::U32LE;

namespace {

std::string Archive(const Order& o, const std::string& fat, const std::string& names,
                    const std::string& image) {
    return Header(o, 3) + Block(o, kFat, fat) + Block(o, kNames, names) + Block(o, kImage, image);
}

// A root holding only the files of `subTable` (which ends with 0), with the
// contents of `image`.
std::string RootOnly(const std::string& subTable, const Ranges& ranges,
                     const std::string& image = "abcdefgh") {
    return Archive(kLE, Fat(kLE, ranges), Dir(kLE, 8, 0, 1) + subTable, image);
}

// The tree as text: "name=contents" for a file, "name{...}" for a directory.
std::string Dump(CDirEntry& dir) {
    std::string text;
    for (CArcEntry* e = dir.entries.First(); e != nullptr; e = dir.entries.Next(e)) {
        if (!text.empty())
            text += ' ';
        if (CFileEntry* file = e->AsFile())
            text += e->name + "="
                + std::string(reinterpret_cast<const char*>(file->Data()),
                              static_cast<std::size_t>(file->size));
        else
            text += e->name + "{" + Dump(*e->AsDirectory()) + "}";
    }
    return text;
}

class ArcLoaderTest : public ::testing::Test {
protected:
    void Load(const std::string& bytes) {
        testsupport::WriteFile(path, bytes);
        loader.Load(path);
    }

    // Whether loading `bytes` throws the CArcException `code` naming the
    // archive.
    ::testing::AssertionResult LoadFails(const std::string& bytes, std::int32_t code) {
        return testsupport::Throws<CArcException>([&] { Load(bytes); }, code, path);
    }

    testsupport::TempDir dir;
    std::string path = dir / "x.kpak";
    CArchive archive{false};
    CArcLoader loader{archive};
};

// Root: b (ID 0), d/ (0xF001), a (ID 1). d: x (ID 2), e/ (0xF002). e: y (ID 3).
std::string NestedArchive(const Order& o) {
    const std::string names = Dir(o, 24, 0, 3) + Dir(o, 33, 2, 0xF000) + Dir(o, 40, 3, 0xF001)
        + Bytes({0x01, 'b', 0x81, 'd'}) + o.U16(0xF001) + Bytes({0x01, 'a', 0x00})
        + Bytes({0x01, 'x', 0x81, 'e'}) + o.U16(0xF002) + Bytes({0x00}) + Bytes({0x01, 'y', 0x00});
    return Archive(o, Fat(o, {{0, 2}, {4, 5}, {8, 11}, {12, 13}}), names,
                   "bb\xFF\xFF"
                   "a\xFF\xFF\xFF"
                   "xxx\xFF"
                   "y\xFF\xFF\xFF");
}

} // namespace

TEST_F(ArcLoaderTest, LoadsTheSmallestArchiveByteForByte) {
    Load("KPAK" + Bytes({0xFE, 0xFF, 0x00, 0x01}) + U32LE(72) + U16LE(16) + U16LE(3) + "BTAF"
         + U32LE(20) + U16LE(1) + U16LE(0) + U32LE(0) + U32LE(5) + "BTNF" + U32LE(20) + U32LE(8)
         + U16LE(0) + U16LE(1) + Bytes({0x01, 'a', 0x00, 0xFF}) + "GMIF" + U32LE(16) + "hello"
         + Bytes({0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Dump(archive.root), "a=hello");
    EXPECT_TRUE(loader.NamesEveryFile());
}

TEST_F(ArcLoaderTest, LoadsNestedDirectoriesInEitherByteOrderKeepingStoredOrder) {
    for (const Order& o : {kLE, kBE}) {
        SCOPED_TRACE(o.big ? "big-endian" : "little-endian");
        archive.root.DeleteAll();
        Load(NestedArchive(o));
        EXPECT_EQ(Dump(archive.root), "b=bb d{x=xxx e{y=y}} a=a");
        EXPECT_TRUE(loader.NamesEveryFile());
    }
}

TEST_F(ArcLoaderTest, SortedTreeKeepsStoredOrderAndSortsOnlyLaterEntries) {
    CArchive sorted(true);
    testsupport::WriteFile(path, NestedArchive(kLE));
    CArcLoader(sorted).Load(path);
    EXPECT_EQ(Dump(sorted.root), "b=bb d{x=xxx e{y=y}} a=a");
    EXPECT_TRUE(sorted.root.sorted);
    EXPECT_TRUE(sorted.FindEntry("/d/e")->AsDirectory()->sorted);
    sorted.CreateFile("/c");
    sorted.CreateFile("/d/w");
    EXPECT_EQ(Dump(sorted.root), "b=bb c= d{w= x=xxx e{y=y}} a=a");
}

TEST_F(ArcLoaderTest, BigEndianMarkMakesLittleEndianBlockKindsUnknown) {
    const std::string names = Dir(kLE, 8, 0, 1) + Bytes({0x00, 0xFF, 0xFF, 0xFF});
    EXPECT_TRUE(LoadFails(Header(kBE, 3) + "BTAF" + kBE.U32(12) + Fat(kLE, {}) + "BTNF"
                              + kBE.U32(8 + 12) + names + "GMIF" + kBE.U32(8),
                          CArcException::kNoNameTable));
}

TEST_F(ArcLoaderTest, SkipsExtraHeaderBytesAndUnknownBlocksAndKeepsTheLastBlockOfAKind) {
    const std::string names = Dir(kLE, 8, 0, 1) + Bytes({0x01, 'f', 0x00, 0xFF});
    Load(Header(kLE, 6, 0, 20) + "\xFF\xFF\xFF\xFF" + Block(kLE, 0x4B4E554A, "junk")
         + Block(kLE, kImage, "old!") + Block(kLE, kFat, Fat(kLE, {{0, 4}})) + Block(kLE, 0, "")
         + Block(kLE, kNames, names) + Block(kLE, kImage, "new!"));
    EXPECT_EQ(Dump(archive.root), "f=new!");
}

TEST_F(ArcLoaderTest, ArchiveWithoutNameTableLoadsEmptyAndNamesNotEveryFile) {
    // The root's sub-table offset 4 points at its own first-file-ID field.
    Load(Archive(kLE, Fat(kLE, {{0, 1}, {4, 5}}),
                 Dir(kLE, 4, 0, 1) + Bytes({0xFF, 0xFF, 0xFF, 0xFF}),
                 "a\xFF\xFF\xFF"
                 "b\xFF\xFF\xFF"));
    EXPECT_EQ(archive.root.entries.count, 0);
    EXPECT_FALSE(loader.NamesEveryFile());

    // Two names for file 0 do not make up for the unnamed file 1.
    Load(Archive(kLE, Fat(kLE, {{0, 1}, {4, 5}}),
                 Dir(kLE, 16, 0, 2) + Dir(kLE, 23, 0, 0xF000) + Bytes({0x01, 'p', 0x81, 'd'})
                     + U16LE(0xF001) + Bytes({0x00, 0x01, 'q', 0x00}),
                 "a\xFF\xFF\xFF"
                 "b\xFF\xFF\xFF"));
    EXPECT_EQ(Dump(archive.root), "p=a d{q=a}");
    EXPECT_FALSE(loader.NamesEveryFile());
}

TEST_F(ArcLoaderTest, EmptyFilesCaseEqualNamesAndOverlappingRanges) {
    // Root: z (empty), A, a (case-equal: one file with the later contents),
    // s and S sharing one range, back\slash, D/ and d/ (merged).
    const std::string names = Dir(kLE, 24, 0, 3) + Dir(kLE, 54, 6, 0xF000) + Dir(kLE, 57, 7, 0xF000)
        + Bytes({0x01, 'z', 0x01, 'A', 0x01, 'a', 0x01, 's', 0x01, 'S'})
        + Bytes({0x0A, 'b', 'a', 'c', 'k', '\\', 's', 'l', 'a', 's', 'h'}) + Bytes({0x81, 'D'})
        + U16LE(0xF001) + Bytes({0x81, 'd'}) + U16LE(0xF002) + Bytes({0x00})
        + Bytes({0x01, 'p', 0x00}) + Bytes({0x01, 'q', 0x00});
    ASSERT_EQ(names.size(), 60u);
    const std::string bytes =
        Archive(kLE, Fat(kLE, {{4, 4}, {0, 3}, {4, 7}, {0, 2}, {0, 2}, {0, 1}, {4, 5}, {0, 3}}),
                names, "one\xFFtwo\xFF");
    Load(bytes);
    // Loading copied no member bytes, however the ranges overlap: the
    // members read the image from the archive file when first asked.
    testsupport::WriteFile(path, bytes.substr(0, bytes.size() - 8) + "ONE\xFFTWO\xFF");
    EXPECT_EQ(Dump(archive.root), "z= A=TWO s=ON back\\slash=O D{p=T q=ONE}");
    CFileEntry* z = archive.FindFile("/z");
    EXPECT_EQ(z->size, 0u);
    EXPECT_EQ(z->Data(), nullptr);
}

TEST_F(ArcLoaderTest, RefusesArchivesThatAreNotArchivesOrLackBlocks) {
    EXPECT_TRUE(LoadFails("", CArcException::kNotArchive));
    EXPECT_TRUE(LoadFails("KPAX" + Header(kLE, 0).substr(4), CArcException::kNotArchive));
    EXPECT_TRUE(LoadFails(Header(kLE, 0), CArcException::kNoNameTable));
    EXPECT_TRUE(
        LoadFails(Header(kLE, 1) + Block(kLE, kFat, Fat(kLE, {})), CArcException::kNoNameTable));
    const std::string names = Block(kLE, kNames, Dir(kLE, 8, 0, 1) + Bytes({0, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(LoadFails(Header(kLE, 2) + Block(kLE, kFat, Fat(kLE, {})) + names,
                          CArcException::kInvalidArchive));
    EXPECT_TRUE(
        LoadFails(Header(kLE, 2) + names + Block(kLE, kImage, ""), CArcException::kInvalidArchive));

    for (const std::string& bad : {dir / "missing.kpak", dir.path()})
        EXPECT_TRUE(testsupport::Throws<XALFcl::CFileException>(
            [&] { loader.Load(bad); }, XALFcl::CFileException::kCannotOpen, bad));
}

TEST_F(ArcLoaderTest, RefusesEveryUnsafeStructureAsInvalid) {
    const std::string good = RootOnly(Bytes({0x01, 'f', 0x00}), {{0, 3}});
    const auto withSubTable = [](const std::string& subTable) {
        return RootOnly(subTable, {{0, 3}});
    };
    // The root's sub-table names directory 0xF001, whose sub-table is empty.
    const auto withSubdirectory = [](const std::string& rootSubTable) {
        const auto second = static_cast<std::uint32_t>(16 + rootSubTable.size());
        return Archive(kLE, Fat(kLE, {}),
                       Dir(kLE, 16, 0, 2) + Dir(kLE, second, 0, 0xF000) + rootSubTable + Bytes({0}),
                       "");
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"block size below 8", Header(kLE, 1) + kLE.U32(kFat) + kLE.U32(4) + "abcd"},
        {"block past the end of the file", good.substr(0, good.size() - 1)},
        {"block header past the end of the file", Header(kLE, 4) + good.substr(16)},
        {"header size past the end of the file", Header(kLE, 3, 0, 400) + good.substr(16)},
        {"no root directory entry", Archive(kLE, Fat(kLE, {}), std::string(4, '\0'), "")},
        {"sub-table offset past the data", Archive(kLE, Fat(kLE, {}), Dir(kLE, 8, 0, 1), "")},
        {"sub-table without end byte", withSubTable(Bytes({0x01, 'f'}))},
        {"name past the data", withSubTable(Bytes({0x05, 'f'}))},
        {"subdirectory ID past the data", withSubTable(Bytes({0x81, 'd', 0x01}))},
        {"directory ID below the table", withSubTable(Bytes({0x81, 'd', 0x01, 0x00, 0x00}))},
        {"directory entry outside the data", withSubTable(Bytes({0x81, 'd', 0x05, 0xF0, 0x00}))},
        {"cycle back to the root", withSubTable(Bytes({0x81, 'd', 0x00, 0xF0, 0x00}))},
        {"shared subdirectory",
         withSubdirectory(Bytes({0x81, 'd', 0x01, 0xF0, 0x81, 'e', 0x01, 0xF0, 0x00}))},
        {"FAT record outside BTAF", RootOnly(Bytes({0x01, 'f', 0x01, 'g', 0x00}), {{0, 3}})},
        {"end below start", RootOnly(Bytes({0x01, 'f', 0x00}), {{3, 2}})},
        {"end past the image", RootOnly(Bytes({0x01, 'f', 0x00}), {{0, 9}})},
        {"empty directory name", withSubdirectory(Bytes({0x80, 0x01, 0xF0, 0x00}))},
        {"file named .", withSubTable(Bytes({0x01, '.', 0x00}))},
        {"directory named ..", withSubdirectory(Bytes({0x82, '.', '.', 0x01, 0xF0, 0x00}))},
        {"name with a slash", withSubTable(Bytes({0x03, 'a', '/', 'b', 0x00}))},
        {"name with a NUL byte", withSubTable(Bytes({0x03, 'a', 0x00, 'b', 0x00}))},
    };
    ASSERT_NO_THROW(Load(good));
    ASSERT_NO_THROW(Load(withSubdirectory(Bytes({0x81, 'd', 0x01, 0xF0, 0x00}))));
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        archive.root.DeleteAll();
        EXPECT_TRUE(LoadFails(bytes, CArcException::kInvalidArchive));
        EXPECT_EQ(archive.root.entries.count, 0);
    }
}

TEST_F(ArcLoaderTest, RefusesMoreThan65535FileNames) {
    std::string subTable;
    for (int i = 0; i < 65536; ++i)
        subTable += Bytes({0x01, 'f'});
    Ranges ranges(65536, {0, 0});
    EXPECT_TRUE(
        LoadFails(RootOnly(subTable + Bytes({0x00}), ranges), CArcException::kInvalidArchive));
}

TEST_F(ArcLoaderTest, StructuralFaultWinsOverTreeConflictWhichOtherwisePassesThrough) {
    // A file a, then a directory A: the tree refuses the directory.
    const std::string conflict = Bytes({0x01, 'a', 0x81, 'A', 0x01, 0xF0, 0x00});
    const std::string names = Dir(kLE, 16, 0, 2) + Dir(kLE, 23, 1, 0xF000) + conflict;
    EXPECT_TRUE(testsupport::Throws<CArcException>(
        [&] {
            Load(Archive(kLE, Fat(kLE, {{0, 1}}), names + Bytes({0x00}), "abcd"));
        },
        CArcException::kFileExists, "A"));

    archive.root.DeleteAll();
    const std::string bytes =
        Archive(kLE, Fat(kLE, {{0, 1}}), names + Bytes({0x01, 'b', 0x00}), "abcd");
    EXPECT_TRUE(LoadFails(bytes, CArcException::kInvalidArchive));
    EXPECT_EQ(archive.root.entries.count, 0);
}
