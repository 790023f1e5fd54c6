// The files a project installs, with and without its component definition files, and the file
// select dialog that picks one of them.
#include "platform/sjis.h"
#include "prefix_fixture.h"
#include "zeriru/editors/file_select_dialog_model.h"
#include "zeriru/editors/installed_files.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace zeriru;

namespace {

struct InstalledFilesTest : PrefixTest {
    void WriteFile(const std::string& below, const std::string& text) {
        std::filesystem::create_directories(C(below).parent_path());
        std::ofstream(C(below), std::ios::binary) << text;
    }
    TIniDocument Project(const std::string& items) {
        TIniDocument doc;
        doc.LoadFromText("[FilesSetting]\r\nUseSection=MyFiles\r\n[MyFiles]\r\n" + items);
        return doc;
    }
};

}  // namespace

TEST_F(InstalledFilesTest, ListsFileItemsOfTheProjectAndItsComponentFiles) {
    WriteFile("comp/a.qinc",
              "[INFORMATION]\r\nFileType=ZU_RUZUDUROZAR\r\n[DATA]\r\n"
              "0=1|0|%SystemDirectory%||C:\\src\\c.dll|\r\n"
              "1=1|5|(#Include File#)||C:\\comp\\a.qinc|self|\r\n");
    WriteFile("comp/other.ini", "[Information]\r\nFileType=SOMETHING\r\n[DATA]\r\n0=1|0|%InstallDir%||C:\\x.exe|\r\n");
    const TIniDocument project = Project(
        "0=1|0|%InstallDir%||C:\\src\\main.exe|\r\n"
        "1=1|1|%InstallDir%|data||\r\n"
        "2=1|0|%InstallDir%|doc\x02" "s|C:\\src\\read me.txt|\r\n"
        "3=1|5|(#Include File#)||C:\\comp\\a.qinc|comp|\r\n"
        "4=1|5|(#Include File#)||C:\\comp\\other.ini|not a component|\r\n"
        "5=1|5|(#Include File#)||C:\\comp\\missing.qinc|gone|\r\n");
    std::vector<std::string> read;
    const std::vector<InstalledFile> own = ReadInstalledFiles(project);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].Line(), "%InstallDir%\\main.exe") << "no doubled \\ without a parameter";
    EXPECT_EQ(own[0].Folder(), "%InstallDir%");
    EXPECT_EQ(own[1].Line(), "%InstallDir%\\doc|s\\read me.txt") << "fields decoded";
    EXPECT_EQ(own[1].source, "C:\\src\\read me.txt");

    const std::vector<InstalledFile> all =
        ReadInstalledFiles(project, {true, [&](std::string_view file) { read.emplace_back(file); }});
    ASSERT_EQ(all.size(), 3u) << "the other type, the missing file and the nested include add nothing";
    EXPECT_EQ(all[2].Line(), "%SystemDirectory%\\c.dll");
    EXPECT_EQ(all[2].component, "C:\\comp\\a.qinc");
    EXPECT_EQ(read.size(), 4u) << "the project and each included file";
    EXPECT_EQ((InstalledFile{"", "", "", "x", ""}).Folder(), "%InstallDir%");
}

TEST_F(InstalledFilesTest, FileSelectFiltersByExtensionAndRequiresASelection) {
    std::vector<InstalledFile> files = {
        {"%InstallDir%", "", "C:\\s\\app.EXE", "app.EXE", ""},
        {"%InstallDir%", "doc", "C:\\s\\readme.txt", "readme.txt", ""},
        {"%InstallDir%", "", "C:\\s\\tool.com", "tool.com", ""},
    };
    FileSelectDialogModel model(files, "m", platform::sjis::S("実行ファイル"), ".EXE;.COM");
    EXPECT_EQ(model.FilterCaption(), platform::sjis::S("実行ファイルのみ表示する(&E)"));
    EXPECT_EQ(model.Lines(), (std::vector<std::string>{"%InstallDir%\\app.EXE", "%InstallDir%\\tool.com"}));
    model.SetFilter(false);
    EXPECT_EQ(model.Lines().size(), 3u);
    const CheckOutcome none = model.Ok(-1);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->message, platform::sjis::S("リストよりファイルを選択してください。"));
    EXPECT_FALSE(model.Ok(1));
    EXPECT_EQ(model.result(), "%InstallDir%\\doc\\readme.txt");
    EXPECT_FALSE(model.WouldListNothing());
    EXPECT_TRUE(FileSelectDialogModel({files[1]}, "m", "l", ".EXE").WouldListNothing());
}
