// The path rules behind the build's refusals, on the texts that make them hard: Shift-JIS
// trail bytes equal to "\", points and blanks Windows drops, two spellings of one folder.
#include "build_guards.h"

#include "platform/sjis.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

TEST(BuildGuards, ParentElements) {
    struct Case {
        std::string path;
        bool climbs;
    } cases[] = {
        {"..", true},
        {"a\\..\\b", true},
        {"a/../b", true},
        {"...", true},
        {".. ", true},
        {". .", true},
        {".", false},
        {"a..b", false},
        {"..a", false},
        {"", false},
        {"bin\\.x", false},
        // 表 ends in the byte of "\": "表.." is one name, not "表" and "..".
        {S("表.."), false},
        {S("表\\.."), true},
    };
    for (const auto& c : cases) EXPECT_EQ(HasParentElement(c.path), c.climbs) << c.path;
}

struct HostRootTest : PrefixTest {};

TEST_F(HostRootTest, DrivesThatMapTheHostsRoot) {
    struct Case {
        const char* path;
        bool hostRoot;
    } cases[] = {
        {"Z:\\tmp", true},   {"z:", true},           {"%AbsoluteDir%Z:\\x", true}, {"%InstallDir%", false},
        {"C:\\x", false},    {":\\Tools", false},    {"Q:\\x", false},             {"relative\\Z:", false},
        {"%Unclosed Z:", false},
    };
    for (const auto& c : cases) EXPECT_EQ(StartsOnHostRoot(c.path), c.hostRoot) << c.path;
}

TEST_F(HostRootTest, OneFolderSpelledTwoWays) {
    ASSERT_TRUE(platform::winpath::CreateDirectoryTree("C:\\Data\\Sub"));
    const HostFolder data("c:\\DATA\\");
    ASSERT_TRUE(data.Valid());
    const std::string viaHostRoot = platform::winpath::ToWindowsPath(root_ / "drive_c" / "Data" / "Sub" / "x.txt");
    EXPECT_TRUE(data.Holds(viaHostRoot));
    EXPECT_TRUE(data.Holds("C:\\Data\\not\\made\\yet"));
    EXPECT_TRUE(data.Holds("C:\\Data\\Sub\\..\\..\\Data"));
    EXPECT_FALSE(data.Holds("C:\\Data2"));
    EXPECT_FALSE(data.Holds("C:\\"));
    EXPECT_TRUE(data.IsHeldBy("C:\\"));
    EXPECT_TRUE(data.IsHeldBy("C:")) << "a drive without its backslash is its root";
    EXPECT_FALSE(HostFolder("Q:\\nowhere").Valid());
}
