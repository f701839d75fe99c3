#include "archiver/ArchiverSettings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Parsed {
    CArchiverSettings settings;
    bool usable = false;
};

Parsed Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"trovel"};
    argv.insert(argv.end(), args.begin(), args.end());
    Parsed p;
    p.usable = p.settings.ParseArguments(static_cast<int>(argv.size()), argv.data());
    return p;
}

std::vector<std::pair<OperandKind, std::string>> Operands(const CArchiverSettings& s) {
    std::vector<std::pair<OperandKind, std::string>> out;
    for (const COperand& op : s.operands)
        out.emplace_back(op.kind, op.text);
    return out;
}

TEST(ArchiverSettings, BundledLettersSetModeAndFlagsAndLastModeWins) {
    Parsed p = Parse({"-cv", "arc.kpak", "dir"});
    ASSERT_TRUE(p.usable);
    EXPECT_EQ(p.settings.mode, ArchiverMode::Create);
    EXPECT_TRUE(p.settings.verbose);
    EXPECT_EQ(p.settings.archivePath, "arc.kpak");
    EXPECT_EQ(Operands(p.settings),
              (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::Path, "dir"}}));

    EXPECT_EQ(Parse({"-c", "-x", "arc.kpak"}).settings.mode, ArchiverMode::Extract);
    EXPECT_EQ(Parse({"-l", "arc.kpak"}).settings.mode, ArchiverMode::None);

    Parsed all = Parse({"-abeilnfstu", "--replace", "a"});
    ASSERT_TRUE(all.usable);
    const CArchiverSettings& s = all.settings;
    EXPECT_TRUE(s.addToRoot && s.backup && s.removeEmptyDir && s.index && s.list && s.noNameTable
                && s.useLongSymbol && s.sort && s.time && s.update);
    EXPECT_EQ(s.mode, ArchiverMode::Replace);
}

TEST(ArchiverSettings, ArchivePathGetsExtensionOnlyWithoutAnyDot) {
    EXPECT_EQ(Parse({"-c", "data"}).settings.archivePath, "data.kpak");
    EXPECT_EQ(Parse({"-c", "../sound"}).settings.archivePath, "../sound");
    EXPECT_EQ(Parse({"-c", "data/sound"}).settings.archivePath, "data/sound.kpak");
    // The first plain argument is always the archive, wherever options stand.
    Parsed p = Parse({"dir", "-c", "arc.kpak"});
    EXPECT_EQ(p.settings.archivePath, "dir.kpak");
    EXPECT_EQ(Operands(p.settings),
              (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::Path, "arc.kpak"}}));
}

TEST(ArchiverSettings, BackslashesInDiskPathsBecomeSlashes) {
    Parsed p = Parse({"-c", "data\\sound", "-D", "a\\b", "x\\y.bin", "-S", "s\\list.txt", "-E",
                      "a\\b", "-P", "p\\q"});
    ASSERT_TRUE(p.usable);
    EXPECT_EQ(p.settings.archivePath, "data/sound.kpak");
    EXPECT_EQ(
        Operands(p.settings),
        (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::WorkingDirectory, "a/b"},
                                                          {OperandKind::Path, "x/y.bin"},
                                                          {OperandKind::Script, "s/list.txt"}}));
    // Names and the prefix are not paths.
    EXPECT_EQ(p.settings.excludeNames, std::vector<std::string>{"a\\b"});
    EXPECT_EQ(p.settings.prefix, "p\\q");
}

TEST(ArchiverSettings, AlignmentAcceptsOnlyWholeLiteralsOfTheFourValues) {
    EXPECT_EQ(Parse({"--align=16", "a"}).settings.align, 16);
    EXPECT_EQ(Parse({"--align=0x10", "a"}).settings.align, 16);
    EXPECT_EQ(Parse({"--align=020", "a"}).settings.align, 16);
    EXPECT_EQ(Parse({"-A", "32", "a"}).settings.align, 32);
    EXPECT_EQ(Parse({"-A", " +8", "a"}).settings.align, 8);
    for (const char* bad :
         {"16k", "", "64", "12", "0x", "-4", "0x100000004", "4294967300",
          "99999999999999999999999999", "08",
          // 2^64 + 4 and 2^64 + 0x10 must not wrap to an accepted value
          "18446744073709551620", "0x10000000000000010", "02000000000000000000010"}) {
        Parsed p = Parse({"-A", bad, "a"});
        EXPECT_FALSE(p.usable) << bad;
        EXPECT_EQ(p.settings.align, 4) << bad;
    }
    EXPECT_FALSE(Parse({"--align", "16", "a"}).usable);
    EXPECT_FALSE(Parse({"--align=", "a"}).usable);
    EXPECT_FALSE(Parse({"a", "-A"}).usable);
}

TEST(ArchiverSettings, ValueLettersTakeFollowingArgumentsInTurn) {
    Parsed p = Parse({"-AD", "16", "dir", "arc"});
    ASSERT_TRUE(p.usable);
    EXPECT_EQ(p.settings.align, 16);
    EXPECT_EQ(
        Operands(p.settings),
        (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::WorkingDirectory, "dir"}}));
    // "-A16": A takes the next argument and "1", "6" are read as letters.
    EXPECT_FALSE(Parse({"-A16", "8", "arc"}).usable);
    // A value is taken whole even when it looks like an option.
    Parsed q = Parse({"-P", "-v", "arc.kpak"});
    ASSERT_TRUE(q.usable);
    EXPECT_EQ(q.settings.prefix, "-v");
    EXPECT_FALSE(q.settings.verbose);
    EXPECT_EQ(q.settings.archivePath, "arc.kpak");
}

TEST(ArchiverSettings, LongValueOptionsSplitAtCommas) {
    EXPECT_EQ(Parse({"--prefix=A,B", "a"}).settings.prefix, "A");
    EXPECT_EQ(Parse({"--prefix=", "a"}).settings.prefix, "");
    EXPECT_EQ(Parse({"-P", "a,b", "a"}).settings.prefix, "a,b");
    EXPECT_EQ(Parse({"--exclude=CVS,.svn", "a"}).settings.excludeNames,
              (std::vector<std::string>{"CVS", ".svn"}));
    EXPECT_EQ(Parse({"--exclude=a,,b,", "a"}).settings.excludeNames,
              (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(Parse({"-E", "CVS,.svn", "a"}).settings.excludeNames,
              (std::vector<std::string>{"CVS,.svn"}));
    EXPECT_EQ(Parse({"--prefix=a=b", "a"}).settings.prefix, "a=b");

    Parsed p = Parse({"a", "--directory=x,y", "--script=s1,s2", "-D", "z", "b"});
    EXPECT_EQ(
        Operands(p.settings),
        (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::WorkingDirectory, "x"},
                                                          {OperandKind::Script, "s1"},
                                                          {OperandKind::Script, "s2"},
                                                          {OperandKind::WorkingDirectory, "z"},
                                                          {OperandKind::Path, "b"}}));
}

TEST(ArchiverSettings, EveryCommandLineProblemAsksForUsage) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"-c"},
        {"-h", "a"},
        {"--help", "a"},
        {"-q", "a"},
        {"--Create", "a"},
        {"--verbose=1", "a"},
        {"--", "a"},
        {"--prefix", "a"},
        {"--colour=x", "a"},
        {"-P"},
        {""},
        {"", "a"},
        {"-v", "-"},
        {"\xff\xfe", "-\xe9"},
    };
    for (const auto& args : bad) {
        std::vector<const char*> argv{"trovel"};
        argv.insert(argv.end(), args.begin(), args.end());
        CArchiverSettings s;
        EXPECT_FALSE(s.ParseArguments(static_cast<int>(argv.size()), argv.data()))
            << (args.empty() ? "(none)" : args[0]);
    }
    // A lone "-" changes nothing; an empty Path operand is the current directory.
    Parsed p = Parse({"-", "a", ""});
    ASSERT_TRUE(p.usable);
    EXPECT_EQ(Operands(p.settings),
              (std::vector<std::pair<OperandKind, std::string>>{{OperandKind::Path, ""}}));
}

} // namespace
