// The main file's version, looked up the way the build and the application information dialog
// share: which item names the main file, in which case rule, and the three ways it can fail.
#include "zeriru/main_file_version.h"

#include "pe_builder.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "test_util.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

namespace wp = platform::winpath;
using namespace zeriru;
using platform::sjis::S;

namespace {

class MainFileVersionTest : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::string root;
    void SetUp() override {
        root = wp::ToWindowsPath(dir.path);
        ASSERT_FALSE(root.empty());
        test::PeImage image;
        image.major = 2, image.minor = 5, image.release = 0, image.build = 13;
        ASSERT_TRUE(wp::WriteWholeFile(W("App.exe"), test::BuildPe(image)));
        image.withVersion = false;
        ASSERT_TRUE(wp::WriteWholeFile(W("plain.exe"), test::BuildPe(image)));
    }
    std::string W(std::string_view name) const { return wp::JoinPath(root, name); }
    // A files item of `kind` that installs `source` below define\parameter.
    std::string Item(int kind, std::string_view define, std::string_view parameter, std::string_view source) const {
        return "1|" + std::to_string(kind) + "|" + std::string(define) + "|" + EncodeProjectText(parameter) + "|" +
               EncodeProjectText(W(source)) + "|";
    }
};

}  // namespace

TEST_F(MainFileVersionTest, TargetLeavesOutAnEmptyParameterAndDecodesFields) {
    EXPECT_EQ(FileItemTarget("1|0|%InstallDir%||C:\\src\\a.exe|"), "%InstallDir%\\a.exe");
    EXPECT_EQ(FileItemTarget("1|0|%InstallDir%|bin\x03x|C:\\src\\a.exe|"), "%InstallDir%\\bin,x\\a.exe");
}

TEST_F(MainFileVersionTest, TheCaseRuleDecidesWhichItemIsTheMainFile) {
    const std::vector<std::string> items = {
        Item(1, "%InstallDir%", "", "App.exe"),      // a folder item of the same target: not a file
        Item(0, "%InstallDir%", "Bin", "plain.exe"),
        Item(0, "%InstallDir%", "Bin", "App.exe"),
    };
    struct Case {
        const char* name;
        NameComparison comparison;
        MainFileVersionResult result;
    } cases[] = {
        {"%InstallDir%\\Bin\\App.exe", NameComparison::Exact, MainFileVersionResult::Found},
        {"%installdir%\\BIN\\app.EXE", NameComparison::Exact, MainFileVersionResult::NotListed},
        {"%installdir%\\BIN\\app.EXE", NameComparison::IgnoreCase, MainFileVersionResult::Found},
        {"%InstallDir%\\App.exe", NameComparison::IgnoreCase, MainFileVersionResult::NotListed},
        {"%InstallDir%\\Bin\\plain.exe", NameComparison::Exact, MainFileVersionResult::NoVersion},
        {"", NameComparison::IgnoreCase, MainFileVersionResult::NotListed},
    };
    for (const Case& c : cases) {
        const MainFileVersion found = FindMainFileVersion(items, c.name, c.comparison);
        EXPECT_EQ(found.result, c.result) << c.name;
    }
    const MainFileVersion app = FindMainFileVersion(items, "%InstallDir%\\Bin\\App.exe", NameComparison::Exact);
    EXPECT_EQ(app.source, W("App.exe"));
    EXPECT_EQ(app.version.major, 2);
    EXPECT_EQ(app.version.minor, 5);
    EXPECT_EQ(app.version.release, 0);
    EXPECT_EQ(app.version.build, 13);
}

TEST_F(MainFileVersionTest, AMissingSourceOrAFolderIsMissingAndEveryFailureHasItsText) {
    ASSERT_TRUE(wp::CreateDirectory(W("folder.exe")));
    const std::vector<std::string> items = {Item(0, "%InstallDir%", "", "gone.exe"),
                                            Item(0, "%SystemDirectory%", "", "folder.exe")};
    EXPECT_EQ(FindMainFileVersion(items, "%InstallDir%\\gone.exe", NameComparison::Exact).result,
              MainFileVersionResult::SourceMissing);
    EXPECT_EQ(FindMainFileVersion(items, "%SystemDirectory%\\folder.exe", NameComparison::Exact).result,
              MainFileVersionResult::SourceMissing);
    EXPECT_EQ(MainFileVersionMessage(MainFileVersionResult::NotListed), S("メインファイル名が指定されていません。"));
    EXPECT_EQ(MainFileVersionMessage(MainFileVersionResult::SourceMissing), S("ファイルが存在しません。"));
    EXPECT_EQ(MainFileVersionMessage(MainFileVersionResult::NoVersion), S("バージョン情報を取得できませんでした。"));
    EXPECT_EQ(MainFileVersionMessage(MainFileVersionResult::Found), "");
}
