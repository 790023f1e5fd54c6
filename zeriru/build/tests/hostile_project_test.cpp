// Projects crafted by someone else: a build writes only into its output folder, never empties a
// folder that holds data, refuses item targets outside the install folder and reads nothing but
// regular files. Each test is the attack as it was tried.
#include "build_fixture.h"

#include <sys/stat.h>

#include <filesystem>

using namespace zeriru;
using namespace zeriru::test;

namespace {

namespace fs = std::filesystem;

struct HostileBuildTest : BuildTest {
    // The only error of the build, with its code and topic.
    static void ExpectRefused(const TBuilder& builder, int code, int topic, const std::string& text) {
        const auto errors = Errors(builder);
        ASSERT_EQ(errors.size(), 1u) << platform::sjis::ToUtf8(Texts(builder).back());
        EXPECT_EQ(errors[0]->code, code);
        EXPECT_EQ(errors[0]->helpTopic, topic);
        EXPECT_EQ(errors[0]->text, text) << platform::sjis::ToUtf8(errors[0]->text);
        EXPECT_EQ(builder.Code(), code);
        const auto texts = Texts(builder);
        EXPECT_EQ(texts[texts.size() - 3], S("インストーラの作成に失敗しました。"));
    }
};

// CreateFileName=..\..\..\x left x.lzh outside the output folder before the build failed.
TEST_F(HostileBuildTest, OutputNameMustBeAPlainFileName) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    struct Case {
        const char* name;
        const char* expanded;
    } cases[] = {
        {"..\\..\\..\\x", "..\\..\\..\\x"},
        {"C:\\x", "C:\\x"},
        {"..", ".."},
        {"sub/x", "sub/x"},
        {"%VER_MAJOR%\\..\\x", "3\\..\\x"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int type : {2, 3, 4, 5}) {
            SCOPED_TRACE(type);
            WriteProject(type);
            BuildRequest r = Request(type);
            r.outputFolder = "C:\\out\\deep\\er";
            r.outputFileName = c.name;
            TBuilder builder(Env());
            builder.BuildInstaller(r);
            ExpectRefused(builder, 13, 140,
                          S("作成するインストーラファイル名にはファイル名のみを指定してください。\rファイル名:") + c.expanded);
            // Nothing was written: neither the output folder nor the work folder were made.
            EXPECT_FALSE(wp::FileExists("C:\\out"));
            EXPECT_FALSE(wp::FileExists("C:\\x.lzh"));
            EXPECT_FALSE(wp::FileExists("C:\\x.cab"));
            EXPECT_FALSE(wp::FileExists("C:\\editor\\Temporary"));
        }
    }
    // A name with a point or Japanese text is a plain name.
    WriteProject(3);
    BuildRequest r = Request(3);
    r.outputFileName = S("見本.v%VER_MAJOR%");
    TBuilder fine(Env());
    fine.BuildInstaller(r);
    EXPECT_EQ(fine.Result().warnings, 0);
    EXPECT_TRUE(wp::FileExists(S("C:\\out\\見本.v3.lzh")));
}

// The same for the data folder of a copy build: InstallSource=..\..\victim would have staged
// (and on the next build deleted) files outside the output folder.
TEST_F(HostileBuildTest, InstallSourceMustBeAPlainFolderName) {
    Put("C:\\victim\\keep.txt", "mine");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(1);
    BuildRequest r = Request(1);
    r.installSource = "..\\victim";
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    builder.BuildInstaller(r);
    ExpectRefused(builder, 13, 140, S("インストールソースにはフォルダ名のみを指定してください。\rフォルダ名:..\\victim"));
    EXPECT_TRUE(ui.messages().empty()) << "refused before the copy question";
    EXPECT_EQ(Get("C:\\victim\\keep.txt"), "mine");
    EXPECT_FALSE(wp::FileExists("C:\\victim\\app.exe"));
}

// A copy build into the project's folder backed the project up inside the output folder, deleted
// the folder and failed: project, files and backup were gone. Into a profile it deleted the
// profile and reported success. Such folders are refused before anything is touched, for every
// create type.
TEST_F(HostileBuildTest, OutputFolderThatWouldDestroyDataIsRefused) {
    const std::string user = platform::PrefixFolderPath(platform::PrefixFolder::UserProfile);
    const std::string desktop = platform::PrefixFolderPath(platform::PrefixFolder::UserDesktop);
    const std::string hostRoot = wp::ToWindowsPath(root_);  // the prefix seen through Z:
    Put(desktop + "\\note.txt", "on the desktop");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    const std::string in = S("\r対象フォルダ:");
    struct Case {
        std::string folder;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"C:\\proj", S("作成先のフォルダにはプロジェクトファイルが含まれているため指定できません。") + in + "C:\\proj" +
                         S("\rファイル名:") + project},
        {"C:\\PROJ\\", S("作成先のフォルダにはプロジェクトファイルが含まれているため指定できません。") + in + "C:\\PROJ" +
                           S("\rファイル名:") + project},
        {"C:\\editor", S("作成先のフォルダにはRaredovoのフォルダが含まれているため指定できません。") + in + "C:\\editor"},
        // The project's parent, here the drive's root: it holds the editor first of all.
        {"C:\\", S("作成先のフォルダにはRaredovoのフォルダが含まれているため指定できません。") + in + "C:"},
        {"C:\\editor\\Temporary\\out", S("作成先のフォルダにRaredovoの作業用フォルダは指定できません。") + in +
                                           "C:\\editor\\Temporary\\out"},
        {"C:\\src", S("作成先のフォルダにはインストールするファイルが含まれているため指定できません。") + in + "C:\\src" +
                        S("\rファイル名:") + "C:\\src\\app.exe"},
        {user, S("作成先のフォルダにはシステムのフォルダが含まれているため指定できません。") + in + user +
                   S("\rシステムのフォルダ:") + user},
        {desktop, S("作成先のフォルダにはシステムのフォルダが含まれているため指定できません。") + in + desktop +
                      S("\rシステムのフォルダ:") + desktop},
        // The prefix through the host's root drive holds drive C: and the editor with it.
        {hostRoot, S("作成先のフォルダにはRaredovoのフォルダが含まれているため指定できません。") + in + hostRoot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::sjis::ToUtf8(c.folder));
        for (int type : {1, 3}) {
            SCOPED_TRACE(type);
            WriteProject(type);
            const std::string before = Get(project);
            ui.clear();
            ui.QueueAnswer(Answer::Yes);
            BuildRequest r = Request(type);
            r.outputFolder = c.folder;
            r.backup = true;
            TBuilder builder(Env());
            EXPECT_TRUE(builder.BuildInstaller(r));
            ExpectRefused(builder, 12, 139, c.text);
            EXPECT_TRUE(ui.messages().empty()) << "refused before the copy question";
            EXPECT_EQ(Get(project), before);
            EXPECT_EQ(Get("C:\\src\\app.exe"), "program bytes");
            EXPECT_EQ(Get(desktop + "\\note.txt"), "on the desktop");
            EXPECT_EQ(Get("C:\\editor\\Module\\ZU_VAZUZA.DAT"), "module-program");
            EXPECT_FALSE(wp::FileExists("C:\\proj\\sample")) << "no backup was made";
        }
    }
    // The project's folder may well hold the output folder.
    WriteProject(1);
    ui.QueueAnswer(Answer::Yes);
    BuildRequest r = Request(1);
    r.outputFolder = "C:\\proj\\out";
    TBuilder beside(Env());
    beside.BuildInstaller(r);
    EXPECT_EQ(beside.Result().warnings, 0);
    EXPECT_EQ(Get("C:\\proj\\out\\Files\\app.exe"), "program bytes");
}

// A component file's own files count as the project's files.
TEST_F(HostileBuildTest, OutputFolderHoldingAComponentFilesSourceIsRefused) {
    Put("C:\\lib\\part.dll", "part");
    Put("C:\\src\\parts.qinc", "[DATA]\r\n0=1|0|%InstallDir%||C:\\lib\\part.dll|\r\n");
    fileItems = {"1|5|(#Include File#)||C:\\src\\parts.qinc|"};
    WriteProject(1);
    BuildRequest r = Request(1);
    r.outputFolder = "C:\\lib";
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    builder.BuildInstaller(r);
    ExpectRefused(builder, 12, 139,
                  S("作成先のフォルダにはインストールするファイルが含まれているため指定できません。\r対象フォルダ:C:\\lib") +
                      S("\rファイル名:") + "C:\\lib\\part.dll");
    EXPECT_EQ(Get("C:\\lib\\part.dll"), "part");
}

// Items whose sub-folder held ..\..\.. or whose folder named a host path (Z:\tmp) were built
// without a word, and the installer wrote there. One message per item.
TEST_F(HostileBuildTest, ItemTargetsOutsideTheInstallFolderAreRefused) {
    const std::string up = S("インストール先にフォルダの外を指す「..」は指定できません。\r対象:");
    const std::string host = S("インストール先にホストのルートを割り当てたドライブは指定できません。\r対象:");
    struct Case {
        std::string item;
        std::string text;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {FileItem("%InstallDir%", "..\\..\\..", "C:\\src\\app.exe"), up + "%InstallDir%\\..\\..\\..\\app.exe"},
        {FileItem("%InstallDir%\\..\\..", "", "C:\\src\\app.exe"), up + "%InstallDir%\\..\\..\\app.exe"},
        {FileItem("%InstallDir%", "bin\\...\\x", "C:\\src\\app.exe"), up + "%InstallDir%\\bin\\...\\x\\app.exe"},
        {FileItem("%InstallDir%", "bin/.. ", "C:\\src\\app.exe"), up + "%InstallDir%\\bin/.. \\app.exe"},
        {"1|2|%InstallDir%||..\\..\\boot.ini|", up + "%InstallDir%\\..\\..\\boot.ini"},
        {"1|4|%InstallDir%|..||", up + "%InstallDir%\\.."},
        {FileItem("Z:\\tmp", "", "C:\\src\\app.exe"), host + "Z:\\tmp\\app.exe"},
        {FileItem("z:", "etc", "C:\\src\\app.exe"), host + "z:\\etc\\app.exe"},
        {FileItem("%AbsoluteDir%", "Z:\\tmp", "C:\\src\\app.exe"), host + "%AbsoluteDir%\\Z:\\tmp\\app.exe"},
        {"1|1|%AbsoluteDir%|Z:\\home||", host + "%AbsoluteDir%\\Z:\\home"},
        {FileItem("%InstallDir%", "a..b\\.x", "C:\\src\\app.exe"), ""},
        {FileItem("%AbsoluteDir%", "C:\\Tools", "C:\\src\\app.exe"), ""},
        {FileItem("%AbsoluteDir%", ":\\Tools", "C:\\src\\app.exe"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        fileItems = {c.item};
        WriteProject(3);
        TBuilder builder(Env());
        builder.BuildInstaller(Request(3));
        if (c.text.empty()) {
            EXPECT_EQ(builder.Result().warnings, 0);
        } else {
            ExpectRefused(builder, 14, 141, c.text);
            EXPECT_FALSE(wp::FileExists("C:\\out\\setup3.lzh"));
        }
    }
    // Every offending item is named, each once.
    fileItems = {FileItem("%InstallDir%", "..", "C:\\src\\app.exe"), FileItem("%InstallDir%", "", "C:\\src\\app.exe"),
                 FileItem("Z:\\", "", "C:\\src\\app.exe")};
    WriteProject(3);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    const auto errors = Errors(builder);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0]->text, up + "%InstallDir%\\..\\app.exe");
    EXPECT_EQ(errors[1]->text, host + "Z:\\\\app.exe");
}

// The items of a component file are held to the same rule.
TEST_F(HostileBuildTest, ComponentItemTargetsAreCheckedToo) {
    Put("C:\\src\\parts.qinc", "[DATA]\r\n0=1|0|%InstallDir%|..\\..|C:\\src\\app.exe|\r\n"
                               "1=1|0|%InstallDir%||C:\\src\\a\\readme.txt|\r\n2=1|1|Z:\\etc|||\r\n");
    fileItems = {"1|5|(#Include File#)||C:\\src\\parts.qinc|"};
    WriteProject(3);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    const auto errors = Errors(builder);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0]->text, S("インストール先にフォルダの外を指す「..」は指定できません。\r対象:%InstallDir%\\..\\..\\app.exe"));
    EXPECT_EQ(errors[1]->text, S("インストール先にホストのルートを割り当てたドライブは指定できません。\r対象:Z:\\etc"));
    EXPECT_EQ(builder.Code(), 14);
}

// An item whose source was Z:\dev\zero wrote a 4 GB temporary file in 10 s and never ended; a
// FIFO blocked forever. Both are refused with the item named, at once.
TEST_F(HostileBuildTest, SourcesThatAreNoFilesAreRefused) {
    ASSERT_EQ(::mkfifo(C("src/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(C("src/parts.qinc").c_str(), 0600), 0);
    const std::string text = S("通常のファイルではないため使用できません。\rフォルダ: ");
    struct Case {
        std::string item;
        std::string refused;
    } cases[] = {
        {FileItem("%InstallDir%", "", "Z:\\dev\\zero"), text + "Z:\\dev" + S("\rファイル名: ") + "zero"},
        {FileItem("%InstallDir%", "", "Z:\\dev\\urandom"), text + "Z:\\dev" + S("\rファイル名: ") + "urandom"},
        {FileItem("%InstallDir%", "", "C:\\src\\pipe"), text + "C:\\src" + S("\rファイル名: ") + "pipe"},
        {"1|5|(#Include File#)||C:\\src\\parts.qinc|", text + "C:\\src" + S("\rファイル名: ") + "parts.qinc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        for (int type : {1, 3}) {
            fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe"), c.item};
            WriteProject(type);
            ui.QueueAnswer(Answer::Yes);
            TBuilder builder(Env());
            builder.BuildInstaller(Request(type));
            ExpectRefused(builder, 15, 142, c.refused);
        }
    }
    // The main file of the version update, read as data too.
    fileItems = {FileItem("%InstallDir%", "", "Z:\\dev\\zero")};
    software += "MainFileName=%InstallDir%\\zero\r\n";
    WriteProject(3);
    TBuilder version(Env());
    EXPECT_FALSE(version.UpdateVersionFromMainFile(project));
    EXPECT_EQ(Texts(version).back(), S("バージョン情報を取得できませんでした。"));
}

}  // namespace
