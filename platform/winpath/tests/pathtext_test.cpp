#include "platform/pathtext.h"
#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform::winpath;
using platform::sjis::S;

namespace {
// 表 is 95 5C: its trail byte is a backslash.
const std::string kHyo = S("表");
const std::string kSo = S("ソ");  // 83 5C
}  // namespace

TEST(PathParts, TrailByte5CIsNoSeparator) {
    ASSERT_EQ(kHyo, "\x95\x5C");
    const std::string dir = "C:\\" + kHyo;
    struct Case {
        std::string path, fileName, folder, folderWithBackslash, extension;
    } cases[] = {
        {dir, kHyo, "C:\\", "C:\\", ""},
        {dir + "\\" + kSo + ".txt", kSo + ".txt", dir, dir + "\\", ".txt"},
        {dir + "\\a.b\\c", "c", dir + "\\a.b", dir + "\\a.b\\", ""},
        {"C:\\a\\b.tar.gz", "b.tar.gz", "C:\\a", "C:\\a\\", ".gz"},
        {"C:/a/b.txt", "b.txt", "C:/a", "C:/a/", ".txt"},
        {"C:b.txt", "b.txt", "C:", "C:", ".txt"},
        {"\\\\srv\\share\\" + kHyo, kHyo, "\\\\srv\\share", "\\\\srv\\share\\", ""},
        {"\\a", "a", "\\", "\\", ""},
        {"name", "name", "", "", ""},
        {"C:\\a\\", "", "C:\\a", "C:\\a\\", ""},
        {".profile", ".profile", "", "", ".profile"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameOf(c.path), c.fileName) << c.path;
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(FolderWithBackslashOf(c.path), c.folderWithBackslash) << c.path;
        EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
    }
}

TEST(PathParts, TrailingBackslash) {
    struct Case {
        std::string path, added, removed;
    } cases[] = {
        {"C:\\" + kHyo, "C:\\" + kHyo + "\\", "C:\\" + kHyo},
        {"C:\\" + kHyo + "\\", "C:\\" + kHyo + "\\", "C:\\" + kHyo},
        {"C:\\", "C:\\", "C:"},
        {"C:", "C:\\", "C:"},
        {"C:/a/", "C:/a/", "C:/a"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddBackslash(c.path), c.added) << c.path;
        EXPECT_EQ(RemoveBackslash(c.path), c.removed) << c.path;
    }
}

TEST(PathParts, ChangeExtensionAndJoin) {
    EXPECT_EQ(ChangeExtension("C:\\a\\b.txt", ".bak"), "C:\\a\\b.bak");
    EXPECT_EQ(ChangeExtension("C:\\a.d\\b", ".bak"), "C:\\a.d\\b.bak");
    EXPECT_EQ(ChangeExtension("C:\\a\\b.txt", ""), "C:\\a\\b");
    EXPECT_EQ(ChangeExtension(kHyo + ".PJ2", ".DAT"), kHyo + ".DAT");

    EXPECT_EQ(JoinPath("C:\\" + kHyo, "a.txt"), "C:\\" + kHyo + "\\a.txt");
    EXPECT_EQ(JoinPath("C:\\a\\", "\\b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a", "D:\\b"), "D:\\b");
    EXPECT_EQ(JoinPath("C:\\a", "\\\\s\\x\\b"), "\\\\s\\x\\b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("C:\\a", ""), "C:\\a");
}

TEST(PathParts, DriveAndKind) {
    struct Case {
        std::string path;
        int drive;
        bool absolute, unc;
    } cases[] = {
        {"C:\\x", 3, true, false}, {"z:/", 26, true, false}, {"a:", 1, false, false},
        {"C:x", 3, false, false},  {"\\\\s\\h", 0, true, true}, {"//s/h", 0, true, true},
        {"\\x", 0, false, false},  {"1:\\x", 0, false, false}, {"", 0, false, false},
        {kHyo + ":\\", 0, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DriveNumber(c.path), c.drive) << c.path;
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
        EXPECT_EQ(IsUncPath(c.path), c.unc) << c.path;
    }
}

TEST(PathNormalize, SeparatorsDotsAndRoots) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"C:/a/./b/../c/", "C:\\a\\c"},
        {"c:\\..\\..\\x", "C:\\x"},
        {"C:\\", "C:\\"},
        {"C:\\" + kHyo + "\\..\\" + kSo, "C:\\" + kSo},
        {"C:\\" + kHyo + "\\.", "C:\\" + kHyo},
        {"\\\\srv\\share\\x\\..\\y", "\\\\srv\\share\\y"},
        {"\\\\?\\C:\\a\\b", "C:\\a\\b"},
        {"\\\\?\\UNC\\srv\\share\\a", "\\\\srv\\share\\a"},
        {"a\\..\\..\\b", "..\\b"},
        {"\\a\\\\b", "\\a\\b"},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << c.in;
}

TEST(PathNormalize, InvalidPathsGiveNothing) {
    const std::string bad[] = {
        "",          "::",          "C:\\a:b",       std::string("C:\\a\0b", 6), "\\\\",
        "\\\\srv",   "\\\\srv\\",   "\\\\\\\\",      "C:\\a*b",                  "C:\\a?",
        "C:\\a|b",   "C:\\a<b",     "C:\\a>b",       "C:\\a\"b",                 "C:\\a\tb",
        "\\\\?\\",
        // A lead byte before '/' must not hide a host separator: 81 2F is no character.
        "C:\\\x81/..",
    };
    for (const std::string& path : bad) {
        EXPECT_FALSE(ParsePath(path).has_value()) << path;
        EXPECT_EQ(NormalizePath(path), "") << path;
    }
    // Wildcards pass only in the last element, and only when asked for.
    EXPECT_TRUE(ParsePath("C:\\a\\*.txt", true).has_value());
    EXPECT_FALSE(ParsePath("C:\\*\\a.txt", true).has_value());
}

TEST(PathNormalize, ElementNames) {
    EXPECT_TRUE(IsValidElement(kHyo));
    EXPECT_TRUE(IsValidElement("a b.c"));
    EXPECT_FALSE(IsValidElement(""));
    EXPECT_FALSE(IsValidElement("a\\b"));
    EXPECT_FALSE(IsValidElement("a/b"));
    EXPECT_FALSE(IsValidElement("a*"));
    EXPECT_TRUE(IsValidElement("a*", true));
    EXPECT_FALSE(IsValidElement(std::string("\x95\0", 2)));
    EXPECT_FALSE(IsValidElement("\x81/"));
}

TEST(Mask, FindFirstFileRules) {
    struct Case {
        std::string name, mask;
        bool match;
    } cases[] = {
        {"a.txt", "*.txt", true},
        {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false},
        {"readme", "*.*", true},
        {"readme", "*", true},
        {"readme", "*.", true},
        {"a.txt", "*.", false},
        {"ab", "a?", true},
        {"abc", "a?", false},
        {kHyo + "1", "?1", true},  // a double-byte character is one
        {kHyo + ".x", kHyo + "*", true},
        {kSo + ".x", kHyo + "*", false},
        {"x" + kHyo, "X*", true},
        {"aXbXc", "a*b*c", true},
        {"abcbd", "a*bd", true},  // needs the backtrack
        {"abc", "a*d", false},
        {"", "*", true},
        {"name", "NAME", true},
        {"name", "nam", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
    EXPECT_TRUE(HasWildcards("a*"));
    EXPECT_FALSE(HasWildcards(kHyo));
}
