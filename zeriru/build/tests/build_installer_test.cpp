#include "zeriru/build_installer.h"

#include "build_fixture.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "pe_builder.h"
#include "prefix_fixture.h"
#include "zeriru/archive_control.h"
#include "zeriru/ini_document.h"
#include "zeriru/platform_machine.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wp = platform::winpath;
using namespace zeriru;
using namespace zeriru::test;
using platform::sjis::S;

namespace {

TEST_F(BuildTest, CopyToFolderStagesUniqueNamesAndRewritesDataFile) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\a\\readme.txt"),
                 FileItem("%InstallDir%", "", "C:\\src\\b\\readme.txt"),
                 FileItem("%SystemDir%", "sub", "C:\\src\\app.exe")};
    WriteProject(1);
    Put("C:\\out\\stale.txt", "old");
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    ASSERT_TRUE(builder.BuildInstaller(Request(1)));
    ASSERT_EQ(builder.Result().warnings, 0) << platform::sjis::ToUtf8(Texts(builder).back());
    EXPECT_EQ(builder.Code(), 0);
    EXPECT_EQ(ui.messages().at(0), CopyToFolderQuestion("C:\\out"));
    EXPECT_EQ(builder.Result().totalSize, 12u + 13u + 13u);

    EXPECT_FALSE(wp::FileExists("C:\\out\\stale.txt"));
    EXPECT_EQ(Get("C:\\out\\INSTALL.EXE"), "module-program");
    EXPECT_EQ(Get("C:\\out\\Files\\readme.txt"), "first readme");
    EXPECT_EQ(Get("C:\\out\\Files\\readme1.txt"), "second readme");
    EXPECT_EQ(Get("C:\\out\\Files\\SystemDir\\sub\\app.exe"), "program bytes");

    const TIniDocument dat = TIniDocument::OpenWindowsPath("C:\\out\\INSTALL.DAT");
    EXPECT_EQ(GetItemField(dat.ReadString("Files", "0"), 5), "readme.txt");
    EXPECT_EQ(GetItemField(dat.ReadString("Files", "0"), 7), "");
    EXPECT_EQ(GetItemField(dat.ReadString("Files", "1"), 5), "readme1.txt");
    EXPECT_EQ(GetItemField(dat.ReadString("Files", "1"), 7), "readme.txt");
    EXPECT_EQ(GetItemField(dat.ReadString("Files", "2"), 5), "app.exe");
    EXPECT_EQ(dat.ReadString("Control_Info", "LocalID"), "1041");
    EXPECT_EQ(dat.ReadString("ResourceString_1041", "100"), "ja");
    EXPECT_FALSE(dat.SectionExists("ButtonStatus"));
    for (const char* key : {"CreateDateTime", "ProjectData", "CreateFolder", "CreateFileName"})
        EXPECT_FALSE(dat.ValueExists("Project", key)) << key;
    EXPECT_EQ(dat.ReadString("Project", "InstallSource"), "Files");  // kept for a folder build

    const auto texts = Texts(builder);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 3], S("処理は正常に終了しました。"));
    EXPECT_EQ(texts[texts.size() - 2], S("総警告数  : 0"));
    EXPECT_EQ(texts.back(), S("総ヒント数: 0"));
    // The project itself keeps its editor keys.
    EXPECT_TRUE(TIniDocument::OpenWindowsPath(project).ValueExists("Project", "CreateDateTime"));
}

TEST_F(BuildTest, DecliningTheCopyQuestionBuildsNothing) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(1);
    TBuilder builder(Env());
    EXPECT_FALSE(builder.BuildInstaller(Request(1)));
    EXPECT_TRUE(builder.Messages().empty());
    EXPECT_FALSE(wp::FileExists("C:\\out"));
}

struct ErrorCase {
    const char* name;
    std::string software;
    std::vector<std::string> items;
    bool dropModule;
    int code;
    int topic;
    const char* textStart;  // UTF-8
};

TEST_F(BuildTest, ErrorsStopTheBuildWithTheirCode) {
    const std::string good = "InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n";
    const std::vector<ErrorCase> cases = {
        {"empty title", "InstallerTitle=\r\nSoftName=\r\n", {FileItem("%InstallDir%", "", "C:\\src\\app.exe")}, false,
         2, 131, "インストーラのタイトルが設定されていません。"},
        {"empty name", "InstallerTitle=T\r\n", {FileItem("%InstallDir%", "", "C:\\src\\app.exe")}, false, 3, 132,
         "アプリケーション名が設定されていません。"},
        {"empty copyright", "InstallerTitle=T\r\nSoftName=A\r\n", {FileItem("%InstallDir%", "", "C:\\src\\app.exe")},
         false, 4, 96, "著作権表示が設定されていません。"},
        {"no files", good, {}, false, 5, 121, "インストールするファイルが指定されていません。"},
        {"module missing", good, {FileItem("%InstallDir%", "", "C:\\src\\app.exe")}, true, 6, 130,
         "「プロパティ」で選択されたモジュールファイルが存在しません。"},
        {"source missing", good, {FileItem("%InstallDir%", "", "C:\\src\\gone.dll")}, false, 7, 123,
         "アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ: C:\\src\rファイル名: gone.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        software = c.software;
        fileItems = c.items;
        WriteProject(3);
        if (c.dropModule) {
            ASSERT_TRUE(wp::DeleteFile("C:\\editor\\Module\\ZU_VAZUZA.DAT"));
        }
        TBuilder builder(Env());
        ASSERT_TRUE(builder.BuildInstaller(Request(3)));
        EXPECT_EQ(builder.Result().warnings, 1);
        EXPECT_EQ(builder.Code(), c.code);
        EXPECT_EQ(Count(builder, BuildEntryKind::Error), 1);
        for (const auto& m : builder.Messages()) {
            if (m.kind != BuildEntryKind::Error) continue;
            EXPECT_EQ(m.helpTopic, c.topic);
            EXPECT_EQ(m.text.rfind(S(c.textStart), 0), 0u) << platform::sjis::ToUtf8(m.text);
        }
        const auto texts = Texts(builder);
        EXPECT_EQ(texts[texts.size() - 3], S("インストーラの作成に失敗しました。"));
        EXPECT_EQ(texts[texts.size() - 2], S("総警告数  : 1"));
        EXPECT_FALSE(wp::FileExists("C:\\out\\setup3.lzh"));
        EXPECT_FALSE(wp::FileExists("C:\\editor\\Temporary"));
        if (c.dropModule) Put("C:\\editor\\Module\\ZU_VAZUZA.DAT", "module-program");
    }
}

TEST_F(BuildTest, ErrorBoxesFollowTheOption) {
    software = "SoftName=A\r\n";
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(3);
    options.showErrorMessage = true;
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0], S("インストーラのタイトルが設定されていません。"));
}

TEST_F(BuildTest, DuplicateItemsGiveOneHintWhenChecked) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe"), FileItem("%installdir%", "", "C:\\SRC\\APP.EXE")};
    WriteProject(1);
    options.checkFileList = true;
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(1));
    EXPECT_EQ(builder.Result().warnings, 0);
    EXPECT_EQ(builder.Result().hints, 1);
    EXPECT_EQ(Count(builder, BuildEntryKind::Hint), 1);
    const TIniDocument dat = TIniDocument::OpenWindowsPath("C:\\out\\INSTALL.DAT");
    EXPECT_EQ(dat.EntryCount("Files"), 1u);
    EXPECT_FALSE(wp::FileExists("C:\\out\\Files\\app1.exe"));
}

TEST_F(BuildTest, ComponentFileGetsItsOwnSection) {
    Put("C:\\src\\parts.dat", "[DATA]\r\n0=1|0|%InstallDir%||C:\\src\\a\\readme.txt|\r\n1=1|1|%InstallDir%|dir||\r\n");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\b\\readme.txt"), "1|5|x|y|C:\\src\\parts.dat|"};
    WriteProject(3);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    ASSERT_EQ(builder.Result().warnings, 0);
    // Check the data file before packing removed it: rebuild as a folder.
    ui.QueueAnswer(Answer::Yes);
    TBuilder folderBuild(Env());
    folderBuild.BuildInstaller(Request(1));
    ASSERT_EQ(folderBuild.Result().warnings, 0);
    const TIniDocument dat = TIniDocument::OpenWindowsPath("C:\\out\\INSTALL.DAT");
    const std::string item = dat.ReadString("Files", "1");
    EXPECT_EQ(GetItemField(item, 3), "parts.dat");
    EXPECT_EQ(GetItemField(item, 5), "");
    EXPECT_EQ(GetItemField(dat.ReadString("parts.dat", "0"), 5), "readme1.txt");
    EXPECT_EQ(GetItemField(dat.ReadString("parts.dat", "0"), 7), "readme.txt");
    EXPECT_EQ(GetItemField(dat.ReadString("parts.dat", "1"), 2), "1");
}

TEST_F(BuildTest, BackupOfExistingOutputFolder) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(1);
    Put("C:\\out\\keep.txt", "previous");
    ui.QueueAnswer(Answer::Yes);
    BuildRequest r = Request(1);
    r.backup = true;
    TBuilder builder(Env());
    builder.BuildInstaller(r);
    EXPECT_EQ(Get("C:\\proj\\sample\\20261209_070503\\keep.txt"), "previous");
    EXPECT_FALSE(wp::FileExists("C:\\out\\keep.txt"));
    EXPECT_EQ(builder.Messages().front().text, S("既存のフォルダのバックアップを行っています。"));
}

TEST_F(BuildTest, AbortStopsAtTheNextItem) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(1);
    ui.QueueAnswer(Answer::Yes);
    auto env = Env();
    env.pollAbort = [] { return true; };
    TBuilder builder(env);
    builder.BuildInstaller(Request(1));
    EXPECT_GE(builder.Result().warnings, 1);
    const auto texts = Texts(builder);
    EXPECT_EQ(texts[texts.size() - 3], S("指示により中止しました。"));
    EXPECT_FALSE(wp::FileExists("C:\\out\\Files\\app.exe"));
    EXPECT_FALSE(builder.Aborted());  // cleared after the summary
}

TEST(OutputName, PlaceholdersReplacedAtFirstOccurrence) {
    TIniDocument doc;
    doc.LoadFromText("[Software]\r\nMajorVersion=2\r\nMinorVersion=7\r\n");
    const std::tm now = FixedTime();
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a%VER_MAJOR%_%VER_MAJOR%", "a2_%VER_MAJOR%"},
        {"%ver_minor%%VER_RELEASE%%VER_BUILD%%VER_OTHER%", "7000"},
        {"x%CDATETIME%", "x20261209_070503"},
        {"%CDATE%-%CTIME%", "20261209-070503"},
        {"plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandOutputName(c.in, doc, now), c.out) << c.in;
    TIniDocument empty;
    EXPECT_EQ(ExpandOutputName("v%VER_MAJOR%", empty, now), "v1");
    doc.WriteInteger("Project", "CreateFileNameOption", 1);
    EXPECT_EQ(OutputBasePath("C:\\Out", "Setup", doc, now), "c:\\out\\setup");
    doc.WriteInteger("Project", "CreateFileNameOption", 2);
    EXPECT_EQ(OutputBasePath("C:\\Out", "Setup", doc, now), "C:\\OUT\\SETUP");
}

TEST(SourceDateEpoch, DecimalSecondsUpToTheYear9999Only) {
    struct Case {
        const char* text;  // nullptr: not set
        std::optional<std::int64_t> value;
    } cases[] = {
        {nullptr, std::nullopt},
        {"", std::nullopt},
        {"0", 0},
        {"1765276230", 1765276230},
        {"253402300799", 253402300799},  // 9999-12-31 23:59:59
        {"253402300800", std::nullopt},
        {"99999999999999999999999999", std::nullopt},  // would overflow
        {"-1", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"12a", std::nullopt},
        {"1e9", std::nullopt},
    };
    for (const auto& c : cases) {
        if (c.text) {
            ::setenv("SOURCE_DATE_EPOCH", c.text, 1);
        } else {
            ::unsetenv("SOURCE_DATE_EPOCH");
        }
        EXPECT_EQ(SourceDateEpoch(), c.value) << (c.text ? c.text : "(not set)");
    }
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST_F(BuildTest, RunInstallerFollowsTheCreateType) {
    struct Case {
        const char* project;
        const char* existing;
        RunInstallerState state;
    } cases[] = {
        {"CreateFileType=1\r\nCreateFolder=C:\\o1\r\n", "C:\\o1\\Install.exe", RunInstallerState::Enabled},
        {"CreateFileType=1\r\nCreateFolder=C:\\o2\r\n", nullptr, RunInstallerState::Disabled},
        {"CreateFileType=2\r\nCreateFolder=C:\\o3\r\nCreateFileName=s%CDATE%\r\n", "C:\\o3\\s20261209.exe",
         RunInstallerState::Enabled},
        {"CreateFileType=3\r\nCreateFolder=C:\\o4\r\nCreateFileName=s\r\n", "C:\\o4\\s.exe", RunInstallerState::Hidden},
        {"ProjectType=1\r\nCreateFileType=1\r\nCreateFolder=C:\\o1\r\n", nullptr, RunInstallerState::Hidden},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.project);
        if (c.existing) Put(c.existing, "x");
        TIniDocument doc;
        doc.LoadFromText(std::string("[Project]\r\n") + c.project);
        EXPECT_EQ(RunInstallerAvailable(doc, FixedTime()), c.state);
    }
    TIniDocument doc;
    doc.LoadFromText("[Project]\r\nCreateFileType=4\r\nCreateFolder=C:\\o3\r\nCreateFileName=s%CDATE%\r\n");
    std::string opened;
    auto open = [&](const std::string& path) {
        opened = path;
        return true;
    };
    EXPECT_FALSE(RunInstaller(ui, doc, FixedTime(), open));  // the question answered No
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(RunInstaller(ui, doc, FixedTime(), open));
    EXPECT_EQ(opened, "C:\\o3\\s20261209.exe");
}

TEST_F(BuildTest, ArchiveTypesProduceTheirFiles) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\a\\readme.txt"),
                 FileItem("%InstallDir%", "", "C:\\src\\b\\readme.txt")};
    WriteProject(3);
    options.compressProgress = false;
    struct Case {
        int type;
        const char* present;
        const char* absent;
    } cases[] = {{2, "setup3.exe", "setup3.lzh"}, {3, "setup3.lzh", nullptr}, {5, "setup3.cab", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        TBuilder builder(Env());
        builder.BuildInstaller(Request(c.type));
        EXPECT_EQ(builder.Result().warnings, 0) << platform::sjis::ToUtf8(Texts(builder).back());
        EXPECT_TRUE(wp::FileExists(std::string("C:\\out\\") + c.present));
        if (c.absent) {
            EXPECT_FALSE(wp::FileExists(std::string("C:\\out\\") + c.absent));
        }
        EXPECT_FALSE(wp::FileExists("C:\\editor\\Temporary"));
    }
    // The LHA archive holds the staged files flat, under their unique names.
    const auto lzh = wp::ToHostPath("C:\\out\\setup3.lzh");
    ASSERT_TRUE(lzh);
    const std::string listing = RunCommand("lha l '" + lzh->string() + "' 2>&1");
    EXPECT_NE(listing.find("readme1.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("install.dat"), std::string::npos) << listing;
    EXPECT_NE(listing.find("install.exe"), std::string::npos) << listing;
    const auto cab = wp::ToHostPath("C:\\out\\setup3.cab");
    const std::string cabListing = RunCommand("cabextract -l '" + cab->string() + "' 2>&1");
    EXPECT_NE(cabListing.find("readme1.txt"), std::string::npos) << cabListing;
    EXPECT_TRUE(started.empty());  // ROZIVU only for the CAB self-extractor
}

TEST_F(BuildTest, CabSelfExtractorStartsTheDialogDriverWithTheTimeStamp) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(4);
    options.compressProgress = false;
    // Nobody fills the library's option dialog here: let it give up at once.
    ::setenv("CAB32_DIALOG_TIMEOUT_MS", "1", 1);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(4));
    ::unsetenv("CAB32_DIALOG_TIMEOUT_MS");
    const auto texts = Texts(builder);
    EXPECT_NE(std::find(texts.begin(), texts.end(), S("インストーラファイルに変換しています。")), texts.end());
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], "C:\\editor\\ROZIVU.EXE 20261209_070503");
}

}  // namespace

namespace {

TEST_F(BuildTest, VersionFromTheMainFileSaysWhyItWasNotTaken) {
    zeriru::test::PeImage image;
    image.major = 7;
    Put("C:\\src\\versioned.exe", zeriru::test::BuildPe(image));  // 7.2.3.4
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe"), FileItem("%InstallDir%", "bin", "C:\\src\\gone.exe"),
                 FileItem("%InstallDir%", "", "C:\\src\\versioned.exe")};
    struct Case {
        const char* main;
        const char* line;  // after "メインファイルのバージョンを取得しています。"
        bool taken;
    } cases[] = {
        {"%InstallDir%\\other.exe", "メインファイル名が指定されていません。", false},
        {"%INSTALLDIR%\\app.exe", "メインファイル名が指定されていません。", false},  // the target must match exactly
        {"%InstallDir%\\bin\\gone.exe", "ファイルが存在しません。", false},
        {"%InstallDir%\\app.exe", "バージョン情報を取得できませんでした。", false},
        {"%InstallDir%\\versioned.exe", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.main);
        software = std::string("InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\nMainFileName=") + c.main + "\r\n";
        WriteProject(3);
        TBuilder builder(Env());
        EXPECT_EQ(builder.UpdateVersionFromMainFile(project), c.taken);
        const auto texts = Texts(builder);
        ASSERT_EQ(texts.size(), c.line ? 2u : 1u);
        EXPECT_EQ(texts[0], S("メインファイルのバージョンを取得しています。"));
        if (c.line) {
            EXPECT_EQ(texts[1], S(c.line));
        }
        const TIniDocument doc = TIniDocument::OpenWindowsPath(project);
        EXPECT_EQ(doc.ReadString("Software", "MajorVersion"), c.taken ? "7" : "");
        EXPECT_EQ(doc.ReadString("Software", "BuildVersion"), c.taken ? "4" : "");
    }
    // Through the command: the new major version names the output. A read-only project is not
    // touched.
    options.autoUpdateVersion = true;
    fileItems.erase(fileItems.begin() + 1);  // the missing file would stop the build
    WriteProject(3);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    EXPECT_TRUE(wp::FileExists("C:\\out\\setup7.lzh"));
    WriteProject(3);
    ASSERT_TRUE(wp::SetFileAttributes(project, wp::kAttrReadOnly));
    TBuilder readOnly(Env());
    readOnly.BuildInstaller(Request(3));
    EXPECT_NE(Texts(readOnly).front(), S("メインファイルのバージョンを取得しています。"));
    EXPECT_TRUE(wp::FileExists("C:\\out\\setup1.lzh"));  // the default major version
}

TEST_F(BuildTest, CreateTypeZeroAsksTheCreateOptionDialog) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(0);
    std::vector<CreateOptionChoice> asked;
    std::vector<int> hints;
    std::optional<CreateOptionChoice> answer;
    auto env = Env();
    env.chooseCreateOption = [&](const CreateOptionChoice& initial) {
        asked.push_back(initial);
        return answer;
    };
    env.showHint = [&](int index) { hints.push_back(index); };

    // Cancel: nothing built, nothing listed.
    TBuilder cancelled(env);
    EXPECT_FALSE(cancelled.BuildInstaller(Request(0)));
    EXPECT_TRUE(cancelled.Messages().empty());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].outputFolder, "C:\\out");
    EXPECT_EQ(asked[0].outputFileName, "setup%VER_MAJOR%");
    EXPECT_EQ(asked[0].createType, 0);

    // An archive type, kept for next time: hint 0, the project remembers the choice.
    answer = CreateOptionChoice{"C:\\chosen\\", "pick", "Src", kCreateLha, true};
    TBuilder archive(env);
    EXPECT_TRUE(archive.BuildInstaller(Request(0)));
    EXPECT_EQ(archive.Result().warnings, 0);
    EXPECT_TRUE(wp::FileExists("C:\\chosen\\pick.lzh"));
    EXPECT_EQ(hints, std::vector<int>{0});
    TIniDocument doc = TIniDocument::OpenWindowsPath(project);
    EXPECT_EQ(doc.ReadString("Project", "CreateFileType"), "3");
    EXPECT_EQ(doc.ReadString("Project", "CreateFolder"), "C:\\chosen");
    EXPECT_EQ(doc.ReadString("Project", "CreateFileName"), "pick");
    EXPECT_EQ(doc.ReadString("Project", "InstallSource"), "Src");

    // A folder, this time only: no hint, the copy question, the project unchanged.
    WriteProject(0);
    answer = CreateOptionChoice{"C:\\folder", "", "Data", kCreateFolder, false};
    ui.QueueAnswer(Answer::Yes);
    TBuilder folder(env);
    EXPECT_TRUE(folder.BuildInstaller(Request(0)));
    EXPECT_EQ(hints.size(), 1u);
    EXPECT_EQ(ui.messages().back(), CopyToFolderQuestion("C:\\folder"));
    EXPECT_EQ(Get("C:\\folder\\Data\\app.exe"), "program bytes");
    EXPECT_EQ(TIniDocument::OpenWindowsPath(project).ReadString("Project", "CreateFileType"), "0");
}

TEST_F(BuildTest, CreateOptionDialogChecksItsChoice) {
    struct Case {
        int type;
        const char* folder;
        const char* name;
        const char* source;
        std::string message;
    } cases[] = {
        {0, "C:\\out", "s", "Files", S("作成するインストールファイルの種類を選択してください。")},
        {3, "C:\\out", "", "Files", S("作成するインストーラファイル名が指定されていません。")},
        {3, "C:\\out", "a\\b", "Files", MsgInvalidFileName()},
        {5, "", "s", "", S("作成先のフォルダが入力されていません。")},
        {5, "out", "s", "", MsgNotFullFolderPath()},
        {2, "C:\\", "s", "", MsgProtectedOutputFolder()},
        {4, "C:\\windows\\", "s", "", MsgProtectedOutputFolder()},
        {1, "C:\\out", "", "", S("インストールソースが入力されていません。")},
        {1, "C:\\out", "", "a:b", MsgInvalidFileName()},
        {1, "C:\\out", "", "Files", ""},  // a folder needs no file name
        {5, "C:\\out\\", "s", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.folder + " " + c.name + " " + c.source);
        const auto problem = CheckCreateOptions(CreateOptionChoice{c.folder, c.name, c.source, c.type, false}, machine);
        EXPECT_EQ(problem.value_or(""), c.message);
    }
}

}  // namespace
