// The build's steps one by one: the logo, the document and licence files, the disk space, the
// copies, the uninstall hints, the hand-edited data file, what happens after a build, and what
// INSTALL.DAT holds on every path that fails.
#include "build_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

using namespace zeriru;
using namespace zeriru::test;

namespace {

constexpr const char* kOut = "C:\\out\\INSTALL.DAT";

TEST_F(BuildTest, LogoIsCopiedBesideTheInstallerOrHinted) {
    Put("C:\\art\\logo.bmp", "BM logo");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    struct Case {
        const char* logo;
        bool enabled;
        bool hinted;
        bool copied;
    } cases[] = {
        {"C:\\art\\logo.bmp", true, false, true},
        {"C:\\art\\gone.bmp", true, true, false},
        {"C:\\art\\gone.bmp", false, false, false},  // not used: not looked for
        {"Z:\\dev\\zero", true, true, false},         // no file: refused at once, no endless copy
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logo);
        software = std::string("InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\nLogoFileName=") + c.logo +
                   "\r\nLogoEnabled=" + (c.enabled ? "1" : "0") + "\r\n";
        WriteProject(1);
        ui.QueueAnswer(Answer::Yes);
        TBuilder builder(Env());
        builder.BuildInstaller(Request(1));
        EXPECT_EQ(builder.Result().warnings, 0);
        EXPECT_EQ(builder.Result().hints, c.hinted ? 1 : 0);
        if (c.hinted) {
            const auto hint = std::find_if(builder.Messages().begin(), builder.Messages().end(),
                                           [](const BuildMessage& m) { return m.kind == BuildEntryKind::Hint; });
            ASSERT_NE(hint, builder.Messages().end());
            EXPECT_EQ(hint->text, S("指定のロゴファイルが存在しません。\r対象ファイル") + c.logo);
            EXPECT_EQ(hint->helpTopic, 86);
            EXPECT_FALSE(hint->box);
        }
        EXPECT_EQ(Get("C:\\out\\logo.bmp"), c.copied ? "BM logo" : "<missing>");
        // The installer finds the logo beside it, by name only.
        const std::string name = wp::FileNameOf(c.logo);
        EXPECT_EQ(TIniDocument::OpenWindowsPath(kOut).ReadString("Software", "LogoFileName"), name);
    }
}

TEST_F(BuildTest, DocumentAndLicenceFilesAreStagedBesideTheInstaller) {
    Put("C:\\src\\doc\\license.txt", "licence text");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\a\\readme.txt"),
                 FileItem("%InstallDir%", "doc", "C:\\src\\doc\\license.txt")};
    software += "DocumentFile=%INSTALLDIR%\\README.TXT\r\nLicenseFile=%InstallDir%\\doc\\license.txt\r\n";
    extraSections = "[ScreenSetting]\r\nPanel02=1\r\nPanel03=1\r\n";
    WriteProject(1);
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(1));
    ASSERT_EQ(builder.Result().warnings, 0) << platform::sjis::ToUtf8(Texts(builder).back());
    EXPECT_EQ(Get("C:\\out\\readme.txt"), "first readme");
    EXPECT_EQ(Get("C:\\out\\license.txt"), "licence text");
    const auto texts = Texts(builder);
    const auto at = std::find(texts.begin(), texts.end(), S("ドキュメントファイルを準備しています。"));
    ASSERT_NE(at, texts.end());
    const std::vector<std::string> expected = {S("ドキュメントファイルを準備しています。"), S("ドキュメントファイルを準備完了。"),
                                               S("ライセンスファイルを準備しています。"), S("ライセンスファイルを準備完了。")};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), at));
    // An archive build leaves them to the installer's own screens: nothing is staged for them.
    TBuilder archive(Env());
    archive.BuildInstaller(Request(3));
    EXPECT_EQ(archive.Result().warnings, 0);
    EXPECT_FALSE(Listed(archive, S("ドキュメントファイルを準備しています。")));
}

TEST_F(BuildTest, DiskSpaceIsChecked) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};  // 13 bytes
    WriteProject(3);
    struct Case {
        std::uint64_t free;
        bool fails;
    } cases[] = {{13, true}, {12, true}, {14, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.free);
        auto env = Env();
        std::string asked;
        env.freeSpace = [&](const std::string& folder) {
            asked = folder;
            return c.free;
        };
        TBuilder builder(env);
        builder.BuildInstaller(Request(3));
        EXPECT_EQ(asked, "C:\\editor\\Temporary");
        EXPECT_EQ(builder.Code(), c.fails ? 8 : 0);
        const auto errors = Errors(builder);
        if (c.fails) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0]->text, S("作業用ドライブの空き容量が不足しています。"));
            EXPECT_EQ(errors[0]->helpTopic, 69);
            EXPECT_FALSE(wp::FileExists("C:\\out\\setup3.lzh"));
        } else {
            EXPECT_TRUE(Listed(builder, S("必要な作業領域をチェックが終了しました。")));
        }
    }
}

TEST_F(BuildTest, UninstallHintsFollowKeyAndInfoFileSettings) {
    const std::string first = S(
        "アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が無効の場合に、"
        "[アンインストール情報ファイル名を自動設定]にしているとアンインストール時にフォルダが完全に削除できない場合があります。");
    const std::string second = S(
        "アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が有効の場合に、"
        "[アンインストール情報ファイル名を上書きする]設定にしていると既存のソフトが[アプリケーションの追加と削除]からアンインストールできなくなる場合があります。");
    struct Case {
        const char* sections;
        std::string hint;
    } cases[] = {
        {"[UninstallSetting]\r\nInfoFileMethod=1\r\n", first},
        {"[UninstallSetting]\r\nInfoFileMethod=0\r\n", ""},
        {"[UninstallSetting]\r\nInfoFileMethod=1\r\n[Installer]\r\nEnableUnInstallSetting=0\r\n", ""},
        {"[UninstallSetting]\r\nInfoFileMethod=2\r\n", ""},
    };
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    options.showErrorMessage = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sections);
        extraSections = c.sections;
        WriteProject(3);
        ui.clear();
        TBuilder builder(Env());
        builder.BuildInstaller(Request(3));
        EXPECT_EQ(builder.Result().warnings, 0);
        EXPECT_EQ(builder.Result().hints, c.hint.empty() ? 0 : 1);
        EXPECT_EQ(Listed(builder, c.hint), !c.hint.empty());
        if (!c.hint.empty()) {
            EXPECT_EQ(ui.messages(), std::vector<std::string>{c.hint});  // a box with ShowErrorMessage
        }
    }
    // With the unique key on, the other two methods give the second hint.
    for (const char* method : {"0", "2"}) {
        extraSections = std::string("[UninstallSetting]\r\nInfoFileMethod=") + method + "\r\n";
        WriteProject(3);
        TIniDocument doc = TIniDocument::OpenWindowsPath(project);
        doc.WriteString("Project", "UseUniqueKey", "1");
        ASSERT_TRUE(doc.UpdateFile());
        TBuilder builder(Env());
        builder.BuildInstaller(Request(3));
        EXPECT_TRUE(Listed(builder, second)) << method;
        EXPECT_EQ(builder.Code(), 0);  // a hint leaves the build's code at 0
    }
}

// The copy of a file item fails when its source went away after the check.
TEST_F(BuildTest, CopyFailureIsErrorNine) {
    Put("C:\\src\\late.txt", "here at the check");
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe"), FileItem("%InstallDir%", "", "C:\\src\\late.txt")};
    for (int type : {1, 3}) {
        SCOPED_TRACE(type);
        WriteProject(type);
        Put("C:\\src\\late.txt", "here at the check");
        if (type == 1) ui.QueueAnswer(Answer::Yes);
        auto env = Env();
        env.onMessage = [](const BuildMessage& m) {
            if (m.text == S("構成ファイルを準備しています。")) wp::DeleteFile("C:\\src\\late.txt");
        };
        TBuilder builder(env);
        builder.BuildInstaller(Request(type));
        const auto errors = Errors(builder);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0]->code, 9);
        EXPECT_EQ(errors[0]->helpTopic, 97);
        const std::string expected =
            type == 1 ? S("指定フォルダへのコピーに失敗しました。\rファイルに対するアクセス権があるかを確認してください。\r対象フォルダC:\\out\\Files")
                      : S("作業フォルダへのファイルコピーに失敗しました。\rファイルに対するアクセス権があるかを確認して下さい。\r対象フォルダ:C:\\editor\\Temporary");
        EXPECT_EQ(errors[0]->text, expected);
    }
}

// Staging the document, licence and files is one block: an error ends only its own loop, and
// INSTALL.DAT never keeps the editor's keys (the scrambled password among them) or an item that
// was not staged. Before, an error there skipped the rewrite and left the project's raw copy in
// the output folder.
TEST_F(BuildTest, EveryFailingPathLeavesACleanDataFile) {
    using During = std::function<void(const BuildMessage&)>;
    bool abortNow = false;
    const During deleteLate = [](const BuildMessage& m) {
        if (m.text == S("構成ファイルを準備しています。")) wp::DeleteFile("C:\\src\\late.txt");
    };
    const During blockFolder = [](const BuildMessage& m) {
        if (m.text == S("構成ファイルを準備しています。")) wp::WriteWholeFile("C:\\out\\Files\\SystemDir", "a file");
    };
    const During abortStaging = [&](const BuildMessage& m) {
        if (m.text == S("構成ファイルを準備しています。")) abortNow = true;
    };
    const std::string app = FileItem("%InstallDir%", "", "C:\\src\\app.exe");
    struct Case {
        const char* name;
        std::vector<std::string> items;
        const char* software;  // added to [Software]
        const char* sections;
        During during;
        std::uint64_t freeSpace;
        int code;
        std::size_t staged;  // items INSTALL.DAT lists afterwards
    };
    const std::vector<Case> cases = {
        {"document screen without DocumentFile", {app}, "", "[ScreenSetting]\r\nPanel02=1\r\n", {}, ~0ULL, 11, 1},
        {"licence naming no item", {app}, "LicenseFile=%InstallDir%\\none.txt\r\n", "[ScreenSetting]\r\nPanel03=1\r\n",
         {}, ~0ULL, 11, 1},
        {"copy fails midway",
         {app, FileItem("%InstallDir%", "", "C:\\src\\late.txt"), FileItem("%InstallDir%", "", "C:\\src\\a\\readme.txt")},
         "", "", deleteLate, ~0ULL, 9, 1},
        {"staging folder cannot be made", {app, FileItem("%SystemDir%", "", "C:\\src\\a\\readme.txt")}, "", "",
         blockFolder, ~0ULL, 1, 1},
        {"aborted while staging", {app}, "", "", abortStaging, ~0ULL, 0, 0},
        {"source missing at the check", {FileItem("%InstallDir%", "", "C:\\src\\gone.exe")}, "", "", {}, ~0ULL, 7, 0},
        {"no disk space", {app}, "", "", {}, 0, 8, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        abortNow = false;
        fileItems = c.items;
        software = std::string("InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n") + c.software;
        extraSections = c.sections;
        WriteProject(1);
        Put("C:\\src\\late.txt", "x");
        ui.QueueAnswer(Answer::Yes);
        auto env = Env();
        env.onMessage = c.during;
        env.pollAbort = [&] { return abortNow; };
        env.freeSpace = [&](const std::string&) { return c.freeSpace; };
        TBuilder builder(env);
        builder.BuildInstaller(Request(1));
        EXPECT_GE(builder.Result().warnings, 1);
        EXPECT_EQ(builder.Code(), c.code);
        ExpectCleanDataFile(kOut);
        EXPECT_EQ(TIniDocument::OpenWindowsPath(kOut).EntryCount("Files"), c.staged);
        if (c.code == 11) {
            // Staging went on after the document step's error.
            EXPECT_EQ(Get("C:\\out\\Files\\app.exe"), "program bytes");
            EXPECT_TRUE(Listed(builder, S("プロジェクトを最適化・変換しています。")));
        }
    }
}

// A component file's copy that fails ends its own loop only: the items after it are staged.
TEST_F(BuildTest, ComponentCopyFailureEndsOnlyItsOwnLoop) {
    Put("C:\\src\\late.txt", "x");
    Put("C:\\src\\parts.qinc", "[DATA]\r\n0=1|0|%InstallDir%||C:\\src\\late.txt|\r\n1=1|0|%InstallDir%||C:\\src\\a\\readme.txt|\r\n");
    fileItems = {"1|5|(#Include File#)||C:\\src\\parts.qinc|", FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(1);
    ui.QueueAnswer(Answer::Yes);
    auto env = Env();
    env.onMessage = [](const BuildMessage& m) {
        if (m.text == S("構成ファイルを準備しています。")) wp::DeleteFile("C:\\src\\late.txt");
    };
    TBuilder builder(env);
    builder.BuildInstaller(Request(1));
    EXPECT_EQ(builder.Code(), 9);
    EXPECT_EQ(Errors(builder).size(), 1u);
    EXPECT_EQ(Get("C:\\out\\Files\\app.exe"), "program bytes");
    ExpectCleanDataFile(kOut);
    const TIniDocument dat = TIniDocument::OpenWindowsPath(kOut);
    EXPECT_EQ(dat.EntryCount("Files"), 2u);
    EXPECT_EQ(dat.EntryCount("parts.qinc"), 0u);  // the failed entry and those after it are left out
}

// Every missing file of a component file is named, and the check goes on with the next item
// (before, the first one ended the whole check).
TEST_F(BuildTest, EveryMissingFileOfAComponentFileIsListed) {
    Put("C:\\src\\parts.qinc",
        "[DATA]\r\n0=1|0|%InstallDir%||C:\\src\\gone1.txt|\r\n1=1|0|%InstallDir%||C:\\src\\a\\readme.txt|\r\n"
        "2=1|0|%InstallDir%||C:\\src\\gone2.txt|\r\n");
    fileItems = {"1|5|(#Include File#)||C:\\src\\parts.qinc|", FileItem("%InstallDir%", "", "C:\\src\\gone3.exe")};
    WriteProject(3);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    std::vector<std::string> texts;
    for (const BuildMessage* e : Errors(builder)) texts.push_back(e->text);
    const std::vector<std::string> expected = {
        S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ   : C:\\src\rファイル名 : gone1.txt"),
        S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ   : C:\\src\rファイル名 : gone2.txt"),
        S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ: C:\\src\rファイル名: gone3.exe"),
    };
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(builder.Result().warnings, 3);
    EXPECT_EQ(builder.Code(), 7);
}

// A missing EnableGroupCheckBox reads as on: the group's caption and state reach the installer.
TEST_F(BuildTest, GroupCheckBoxKeysFollowTheSwitchWithItsDefault) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    struct Case {
        const char* program;
        bool kept;
    } cases[] = {
        {"CheckBoxCaption=Run it\r\nDefaultCheckBoxState=1\r\n", true},
        {"EnableGroupCheckBox=1\r\nCheckBoxCaption=Run it\r\nDefaultCheckBoxState=1\r\n", true},
        {"EnableGroupCheckBox=0\r\nCheckBoxCaption=Run it\r\nDefaultCheckBoxState=1\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        extraSections = std::string("[ProgramSetting]\r\n") + c.program;
        WriteProject(1);
        ui.QueueAnswer(Answer::Yes);
        TBuilder builder(Env());
        builder.BuildInstaller(Request(1));
        const TIniDocument dat = TIniDocument::OpenWindowsPath(kOut);
        EXPECT_EQ(dat.ValueExists("ProgramSetting", "CheckBoxCaption"), c.kept);
        EXPECT_EQ(dat.ValueExists("ProgramSetting", "DefaultCheckBoxState"), c.kept);
    }
}

// The data file edited by hand: the build waits for the editor (what it wrote is in the
// archive), and asks whatever the warnings.
TEST_F(BuildTest, ExternalEditorEditsTheDataFileBeforePacking) {
    const std::filesystem::path script = root_ / "editor.sh";
    const std::filesystem::path log = root_ / "editor.log";
    const std::filesystem::path work = C("editor/Temporary/INSTALL.DAT");
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << log.string() << "'\nsleep 0.2\nprintf '[Edited]\\r\\nBy=hand\\r\\n' >> '"
                          << work.string() << "'\n";
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    WriteProject(3);
    options.editInformation = true;
    options.extendEditorFileName = wp::ToWindowsPath(script);
    options.compressProgress = false;
    ui.QueueAnswer(Answer::Yes);
    TBuilder builder(Env());
    builder.BuildInstaller(Request(3));
    ASSERT_EQ(builder.Result().warnings, 0);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].buttons, MessageButtons::YesNo);
    std::ifstream in(log);
    std::string argument;
    std::getline(in, argument);
    EXPECT_EQ(argument, "C:\\editor\\Temporary\\INSTALL.DAT");
    const auto lzh = wp::ToHostPath("C:\\out\\setup3.lzh");
    const std::string dat = RunCommand("lha pq '" + lzh->string() + "' install.dat");
    EXPECT_NE(dat.find("[Edited]"), std::string::npos) << dat;

    // A failed build asks too; No starts nothing.
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\gone.exe")};
    WriteProject(3);
    ui.clear();
    TBuilder failed(Env());
    failed.BuildInstaller(Request(3));
    EXPECT_EQ(failed.Code(), 7);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.shown()[0].buttons, MessageButtons::YesNo);
    std::ifstream again(log);
    int lines = 0;
    for (std::string line; std::getline(again, line);) ++lines;
    EXPECT_EQ(lines, 1);
}

// After a build: the completion box, the installer started after its question, the output
// folder opened; after a failure only the failure's box.
TEST_F(BuildTest, OptionsAfterTheBuild) {
    fileItems = {FileItem("%InstallDir%", "", "C:\\src\\app.exe")};
    options.completeMessage = true;
    options.executeInstaller = true;
    options.openFolder = true;
    std::vector<std::string> opened;
    auto env = [&] {
        auto e = Env();
        e.openWithShell = [&](const std::string& path) {
            opened.push_back(path);
            return true;
        };
        return e;
    };
    WriteProject(1);
    ui.QueueAnswer(Answer::Yes);  // copy to the folder
    ui.QueueAnswer(Answer::Ok);   // the completion box
    ui.QueueAnswer(Answer::Yes);  // run the installer
    TBuilder builder(env());
    builder.BuildInstaller(Request(1));
    ASSERT_EQ(builder.Result().warnings, 0);
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{CopyToFolderQuestion("C:\\out"), S("処理は正常に終了しました。"),
                                                        S("インストーラを実行しますか。")}));
    EXPECT_EQ(opened, (std::vector<std::string>{"C:\\out\\install.exe", "C:\\out"}));

    // Declining the installer's question still opens the folder.
    opened.clear();
    ui.clear();
    ui.QueueAnswer(Answer::Yes);
    ui.QueueAnswer(Answer::Ok);
    ui.QueueAnswer(Answer::No);
    TBuilder declined(env());
    declined.BuildInstaller(Request(1));
    EXPECT_EQ(opened, std::vector<std::string>{"C:\\out"});

    // A failed build opens nothing.
    opened.clear();
    ui.clear();
    software = "SoftName=A\r\n";
    WriteProject(3);
    TBuilder failed(env());
    failed.BuildInstaller(Request(3));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("インストーラの作成に失敗しました。")});
    EXPECT_TRUE(opened.empty());
}

}  // namespace
