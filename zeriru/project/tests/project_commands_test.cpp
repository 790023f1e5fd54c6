#include "zeriru/project_commands.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "test_util.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

// Drive C: is a temporary folder; the editor lives in C:\Zuzoruve\.
struct CommandsFixture : ::testing::Test {
    test::TempFolder temp;
    DriveFolderMapper paths;
    MemorySettingsStore store;
    EditorSettings settings{store, "C:\\Zuzoruve\\", "C:\\users\\me\\Documents"};
    ModuleTable modules{{"ZU_VAZUZA", "", S("モダンスタイル"), {{S("日本語"), 1041}, {"English", 1033}}}};
    ScriptedUi ui;
    std::vector<int> hints;
    std::function<bool(ProjectProperties&)> dialog = [](ProjectProperties& p) {
        p.projectName = "Sample";
        return true;
    };
    std::unique_ptr<ProjectCommands> commands;

    void SetUp() override {
        paths.MapDrive('C', temp.path);
        fs::create_directories(temp.path / "Zuzoruve");
        Make();
    }
    void Make() {
        commands = std::make_unique<ProjectCommands>(ProjectCommands::Services{
            ui, settings, paths, "C:\\Zuzoruve\\", modules,
            [this](ProjectProperties& p) { return dialog(p); }, [this](int hint) { hints.push_back(hint); },
            [](const TProjectInfo&) { return true; }, [] { return std::string("2026/12/09 6:00:00"); }});
    }
    fs::path Host(const std::string& windowsPath) const { return *paths.ToHost(windowsPath); }
    // A project file at C:\<name> with the given [Project] lines.
    std::string WriteProject(const std::string& name, const std::string& projectLines,
                             const std::string& more = {}) {
        const fs::path host = temp.path / name;
        EXPECT_TRUE(platform::WriteHostFileAtomic(
            host, "[Project]\r\nGenerator=DOZOZE 2.0\r\n" + projectLines + "\r\n" + more));
        return "C:\\" + name;
    }
    TIniDocument Doc() const { return TIniDocument(commands->project().projectFilePath); }
};

// ---- create ----

TEST_F(CommandsFixture, CreateWritesTheFrameFromDialogAndDefaults) {
    settings.WriteNewProjectDefaults({"pub", "corp", "info", "help", "tel", "upd", "C:\\Out", 4, 2, 1});
    ProjectProperties seen;
    dialog = [&](ProjectProperties& p) {
        seen = p;
        p.projectName = S("表計算=1");
        p.createFileName = "setup";
        return true;
    };
    ASSERT_TRUE(commands->CreateProject());
    EXPECT_EQ(seen.moduleName, "ZU_VAZUZA");
    EXPECT_EQ(seen.languageCode, 1041);
    EXPECT_EQ(seen.createFolder, "C:\\Out");
    EXPECT_EQ(seen.createFileType, 4);
    EXPECT_EQ(seen.createFileCompLevel, 2);
    EXPECT_EQ(seen.createFileNameOption, 1);
    EXPECT_EQ(seen.publisher, "pub");
    EXPECT_EQ(hints, std::vector<int>{0});  // archive type, installer project

    const std::string path = "C:\\Zuzoruve\\Project\\" + S("表計算=1") + ".PJ2";
    EXPECT_EQ(commands->projectPath(), path);
    EXPECT_EQ(commands->history(), std::vector<std::string>{path});
    const TIniDocument doc = Doc();
    EXPECT_EQ(doc.FileName(), Host(path));
    EXPECT_EQ(doc.ReadString("Project", "ProjectName"), S("表計算") + "\x01" + "1");
    EXPECT_EQ(doc.ReadString("Project", "Generator"), "DOZOZE 2.0");
    EXPECT_EQ(doc.ReadString("Project", "MajorVersion"), "4");
    EXPECT_EQ(doc.ReadString("Project", "MinorVersion"), "3");
    EXPECT_EQ(doc.ReadString("Project", "CreateDateTime"), "2026/12/09 6:00:00");
    EXPECT_EQ(doc.ReadString("Project", "InstallSource"), "Files");
    EXPECT_EQ(doc.ReadString("Project", "CreateFileType"), "4");
    EXPECT_EQ(doc.ReadString("SupportInfo", "URLInfoAbout"), "info");
    EXPECT_EQ(commands->project().projectName, S("表計算=1"));
    EXPECT_TRUE(commands->CommandEnabled(Command::Initialize));
}

TEST_F(CommandsFixture, CreateDefaultsWithNoSettingsAtAll) {
    ProjectProperties seen;
    dialog = [&](ProjectProperties& p) {
        seen = p;
        p.projectName = "x";
        return true;
    };
    ASSERT_TRUE(commands->CreateProject());
    EXPECT_EQ(seen.createFolder, "C:\\Zuzoruve\\Project\\ExeFile");
    EXPECT_EQ(seen.createFileType, 2);
    EXPECT_EQ(seen.createFileCompLevel, 1);
    EXPECT_EQ(seen.createFileNameOption, 0);
    EXPECT_EQ(seen.projectType, 0);
}

TEST_F(CommandsFixture, CreateReplacesAProjectOfTheSameName) {
    ASSERT_TRUE(commands->CreateProject());
    const fs::path host = commands->project().projectFilePath;
    TIniDocument old(host);
    old.WriteString("Software", "AppName", "old");
    ASSERT_TRUE(old.UpdateFile());

    Make();
    ASSERT_TRUE(commands->CreateProject());
    EXPECT_EQ(commands->project().projectFilePath, host);
    EXPECT_FALSE(Doc().SectionExists("Software"));
    EXPECT_TRUE(ui.messages().empty());
}

// A read-only project of the same name cannot be deleted: creating fails with the message and
// leaves it as it was (it used to lose its read-only mark and be replaced).
TEST_F(CommandsFixture, CreateLeavesAReadOnlyProjectOfTheSameName) {
    ASSERT_TRUE(commands->CreateProject());
    const fs::path host = commands->project().projectFilePath;
    TIniDocument old(host);
    old.WriteString("Software", "AppName", "old");
    ASSERT_TRUE(old.UpdateFile());
    ASSERT_TRUE(SetReadOnlyFile(host, true));
    const std::string before = *platform::ReadHostFile(host);

    Make();
    EXPECT_FALSE(commands->CreateProject());
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("新規プロジェクトの作成に失敗しました。")});
    EXPECT_EQ(*platform::ReadHostFile(host), before);
    EXPECT_TRUE(IsReadOnlyFile(host));
    EXPECT_FALSE(commands->ProjectOpen());
}

TEST_F(CommandsFixture, FailedCreateKeepsTheOldProject) {
    ASSERT_TRUE(commands->CreateProject());
    const fs::path host = commands->project().projectFilePath;
    const std::string before = *platform::ReadHostFile(host);
    Make();
    platform::SetWriteFailureAfterBytesForTesting(10);
    const bool created = commands->CreateProject();
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_FALSE(created);
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("新規プロジェクトの作成に失敗しました。")});
    EXPECT_EQ(*platform::ReadHostFile(host), before);
    EXPECT_FALSE(commands->ProjectOpen());
}

TEST_F(CommandsFixture, CreateRefusesWithoutModulesOrBadNames) {
    modules.clear();
    Make();
    EXPECT_FALSE(commands->CreateProject());
    modules.push_back({"ZU_VAZUZA", "", "x", {}});  // a module without languages
    Make();
    EXPECT_FALSE(commands->CreateProject());
    const std::string noModules =
        S("モジュール情報または言語情報を取得できませんでした。Raredovoを再インストールしてください。");
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{noModules, noModules}));

    modules[0].languages.push_back({"ja", 1041});
    Make();
    for (const char* bad : {"..\\..\\evil", "a/b", "name.", "", "a:b"}) {
        ui.clear();
        dialog = [&](ProjectProperties& p) {
            p.projectName = bad;
            return true;
        };
        EXPECT_FALSE(commands->CreateProject()) << bad;
        EXPECT_EQ(ui.messages(), std::vector<std::string>{S("新規プロジェクトの作成に失敗しました。")}) << bad;
    }
    EXPECT_FALSE(commands->ProjectOpen());
    EXPECT_FALSE(fs::exists(temp.path / "evil.PJ2"));
}

// ---- open ----

TEST_F(CommandsFixture, OpenReadsTheFrameAndPutsThePathFirst) {
    const std::string a = WriteProject("a.PJ2", "ProjectName=A\x02" "B\r\nCreateFileType=5\r\nProjectType=1",
                                       "[ButtonStatus]\r\n2=" + S("×") + "\r\n");
    ASSERT_TRUE(commands->OpenProject(a, OpenOrigin::OpenDialog));
    EXPECT_EQ(commands->project().projectName, "A|B");
    EXPECT_EQ(commands->project().installSource, "Files");
    EXPECT_EQ(commands->project().createFileType, 5);
    EXPECT_TRUE(commands->project().createFolderBeforeBackup);
    EXPECT_EQ(commands->buttonCaptions()[1], S("×"));
    EXPECT_EQ(settings.History(), std::vector<std::string>{a});

    const MainWindowState st = commands->Refresh();
    EXPECT_EQ(st.caption, "Raredovo - a.PJ2");
    EXPECT_EQ(st.statusPanels[0], S("プロジェクト名"));
    EXPECT_EQ(st.statusPanels[1], "A|B");
    EXPECT_EQ(st.statusPanels[2], "CAB File");
    EXPECT_EQ(st.statusPanels[3], "");
    EXPECT_TRUE(st.osData.checkOSVersion);
    EXPECT_EQ(st.osData.osVersion, 65535);
}

struct OpenCase {
    std::string name;
    OpenOrigin origin;
    std::string file;  // "missing", "sameAsOpen", "notProject", "emptyName"
    std::vector<std::string> messages;  // UTF-8
    bool opens;
};
void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenChecks : public CommandsFixture, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenChecks, ByOrigin) {
    const OpenCase& c = GetParam();
    const std::string current = WriteProject("current.PJ2", "ProjectName=cur");
    std::string path;
    if (c.file == "missing") path = "C:\\gone.PJ2";
    if (c.file == "sameAsOpen") path = "C:\\CURRENT.pj2";
    if (c.file == "notProject") {
        ASSERT_TRUE(platform::WriteHostFileAtomic(temp.path / "plain.ini", "[Project]\r\nProjectName=x\r\n"));
        path = "C:\\plain.ini";
    }
    if (c.file == "emptyName") path = WriteProject("empty.PJ2", "CreateFileType=1");
    settings.WriteHistory({path});
    Make();
    ASSERT_TRUE(commands->OpenProject(current, OpenOrigin::OpenDialog));
    ui.clear();

    EXPECT_EQ(commands->OpenProject(path, c.origin), c.opens);
    std::vector<std::string> expected;
    for (const std::string& m : c.messages) expected.push_back(S(m));
    if (c.file == "missing" && c.origin == OpenOrigin::CommandLine) expected[0] += path;
    EXPECT_EQ(ui.messages(), expected);
    EXPECT_EQ(commands->projectPath(), c.opens ? path : current);
    if (c.file == "missing" && c.origin == OpenOrigin::History) {
        EXPECT_EQ(commands->history(), std::vector<std::string>{current});
        EXPECT_EQ(settings.History(), std::vector<std::string>{current});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenChecks,
    ::testing::Values(
        OpenCase{"DialogSameFile", OpenOrigin::OpenDialog, "sameAsOpen", {}, false},
        OpenCase{"HistorySameFile", OpenOrigin::History, "sameAsOpen", {"既に開かれています。"}, false},
        OpenCase{"HistoryMissing", OpenOrigin::History, "missing", {"プロジェクトファイルが存在しません。"}, false},
        OpenCase{"CommandLineMissing", OpenOrigin::CommandLine, "missing",
                 {"指定のファイルは存在しません。\r\rファイル名:\r"}, false},
        OpenCase{"LastProjectMissing", OpenOrigin::LastProject, "missing", {}, false},
        OpenCase{"DialogMissing", OpenOrigin::OpenDialog, "missing", {"プロジェクトファイルではありません。"}, false},
        OpenCase{"DialogNotProject", OpenOrigin::OpenDialog, "notProject", {"プロジェクトファイルではありません。"}, false},
        OpenCase{"HistoryNotProjectNotTested", OpenOrigin::History, "notProject", {}, true},
        OpenCase{"StartEmptyName", OpenOrigin::CommandLine, "emptyName", {"プロジェクトファイルが不正です。"}, false},
        OpenCase{"LastEmptyName", OpenOrigin::LastProject, "emptyName", {"プロジェクトファイルが不正です。"}, false},
        OpenCase{"DialogEmptyNameNotTested", OpenOrigin::OpenDialog, "emptyName", {}, true}),
    [](const auto& info) { return info.param.name; });

TEST_F(CommandsFixture, PasswordMustMatchExactly) {
    const std::string p = WriteProject("p.PJ2", "ProjectName=p\r\nProjectData=" + ScrambleText("Secret", 4));
    for (const auto& [typed, ok] : std::vector<std::pair<std::string, bool>>{{"secret", false}, {"SECRET", false},
                                                                              {"Secret ", false}, {"Secret", true}}) {
        ui.clear();
        ui.QueueText(typed);
        EXPECT_EQ(commands->OpenProject(p, OpenOrigin::OpenDialog), ok) << typed;
        EXPECT_TRUE(ui.messages().empty()) << typed;  // a refusal shows nothing
        ASSERT_EQ(ui.shown().size(), 1u);
        EXPECT_EQ(ui.shown()[0].caption, S("プロジェクトの保護"));
        EXPECT_EQ(ui.shown()[0].text, S("パスワードを入力してください。"));
        EXPECT_EQ(commands->ProjectOpen(), ok);
    }
    // Cancelling the prompt refuses too.
    EXPECT_FALSE(commands->CheckProjectPassword(p));
    ui.QueueText("Secret");
    EXPECT_TRUE(commands->CheckProjectPassword(p));
}

TEST_F(CommandsFixture, HistoryOfSixReadsBackAsFive) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) paths.push_back(WriteProject("p" + std::to_string(i) + ".PJ2", "ProjectName=p"));
    for (const std::string& p : paths) ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    EXPECT_EQ(commands->history().front(), paths[5]);
    // Next start.
    const std::vector<std::string> next = EditorSettings(store, "C:\\Zuzoruve\\", "").History();
    ASSERT_EQ(next.size(), 5u);
    EXPECT_EQ(next.front(), paths[5]);
    EXPECT_EQ(next.back(), paths[1]);
    // Opening one again moves it to the front without a duplicate.
    ASSERT_TRUE(commands->OpenProject(paths[3], OpenOrigin::OpenDialog));
    EXPECT_EQ(settings.History(), (std::vector<std::string>{paths[3], paths[5], paths[4], paths[2], paths[1]}));
}

// ---- status save, save as, protect, read-only ----

struct VersionCase {
    std::string major, minor, expectMajor, expectMinor;
};

TEST_F(CommandsFixture, StatusSaveRaisesOnlyOlderFormats) {
    const std::vector<VersionCase> cases = {
        {"4", "10", "4", "10"}, {"4", "2", "4", "3"}, {"3", "9", "4", "3"}, {"5", "0", "5", "0"},
        {"4", "3", "4", "3"},   {"x", "3", "4", "3"},
    };
    for (const VersionCase& c : cases) {
        const std::string p = WriteProject("v.PJ2", "ProjectName=v\r\nMajorVersion=" + c.major +
                                                        "\r\nMinorVersion=" + c.minor);
        Make();
        ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
        commands->SetButtonCaption(2, S("×"));
        ASSERT_TRUE(commands->SaveProjectStatus());
        const TIniDocument doc = Doc();
        EXPECT_EQ(doc.ReadString("Project", "MajorVersion"), c.expectMajor) << c.major << "." << c.minor;
        EXPECT_EQ(doc.ReadString("Project", "MinorVersion"), c.expectMinor) << c.major << "." << c.minor;
        EXPECT_EQ(doc.ReadString("Project", "UpdateDateTime"), "2026/12/09 6:00:00");
        EXPECT_EQ(doc.ReadString("ButtonStatus", "3"), S("×"));
        EXPECT_EQ(doc.EntryCount("ButtonStatus"), 7u);
    }
}

TEST_F(CommandsFixture, ReadOnlyProjectIsNotWritten) {
    const std::string p = WriteProject("r.PJ2", "ProjectName=r\r\nMajorVersion=3");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    ASSERT_TRUE(commands->ToggleReadOnly());
    EXPECT_TRUE(IsReadOnlyFile(Host(p)));
    const std::string before = *platform::ReadHostFile(Host(p));

    EXPECT_FALSE(commands->SaveProjectStatus());
    EXPECT_FALSE(commands->ProtectProject([](ProtectProjectDialogModel&) { return true; }));
    EXPECT_FALSE(commands->InitializeProject([](InitializeProjectDialogModel& m) { return m.checked[0] = true; }));
    EXPECT_EQ(*platform::ReadHostFile(Host(p)), before);

    const MainWindowState st = commands->Refresh();
    EXPECT_TRUE(st.readOnly);
    EXPECT_EQ(st.statusPanels[3], "ReadOnly");
    EXPECT_FALSE(commands->CommandEnabled(Command::Protect));
    ASSERT_TRUE(commands->ToggleReadOnly());
    EXPECT_FALSE(commands->Refresh().readOnly);
    EXPECT_TRUE(commands->CommandEnabled(Command::Protect));
}

TEST_F(CommandsFixture, SaveAsCopiesAndSwitchesToTheNewFile) {
    const std::string p = WriteProject("orig.PJ2", "ProjectName=o", "; comment\r\n[Software]\r\nA=1\r\n");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    fs::create_directories(temp.path / "users" / "me" / "Documents");
    ui.QueueText("C:\\users\\me\\Documents\\copy.PJ2");
    ASSERT_TRUE(commands->SaveProjectAs());
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, S("プロジェクトファイル (*.pj2)|*.pj2"));
    EXPECT_EQ(ui.shown()[0].caption, "C:\\users\\me\\Documents");  // the initial folder
    EXPECT_EQ(commands->projectPath(), "C:\\users\\me\\Documents\\copy.PJ2");
    EXPECT_EQ(*platform::ReadHostFile(Host("C:\\users\\me\\Documents\\copy.PJ2")), *platform::ReadHostFile(Host(p)));
    EXPECT_EQ(settings.SaveDialogFolder(), "C:\\users\\me\\Documents\\");
    EXPECT_EQ(settings.History().front(), "C:\\users\\me\\Documents\\copy.PJ2");
    EXPECT_EQ(settings.History().size(), 2u);

    // Cancelled: nothing changes.
    EXPECT_FALSE(commands->SaveProjectAs());
    EXPECT_EQ(commands->projectPath(), "C:\\users\\me\\Documents\\copy.PJ2");
}

TEST_F(CommandsFixture, ProtectWritesAndRemovesThePassword) {
    const std::string p = WriteProject("s.PJ2", "ProjectName=s");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    ASSERT_TRUE(commands->ProtectProject([](ProtectProjectDialogModel& m) {
        EXPECT_FALSE(m.protect);
        m.protect = true;
        m.password = "pw";
        return true;
    }));
    EXPECT_EQ(Doc().ReadString("Project", "ProjectData"), ScrambleText("pw", 4));
    ASSERT_TRUE(commands->ProtectProject([](ProtectProjectDialogModel& m) {
        EXPECT_TRUE(m.protect);
        EXPECT_EQ(m.password, "pw");
        m.protect = false;
        return true;
    }));
    EXPECT_FALSE(Doc().ValueExists("Project", "ProjectData"));
}

// ---- initialise ----

TEST_F(CommandsFixture, InitializeShortcutsErasesTheUseSectionItems) {
    const std::string p = WriteProject(
        "i.PJ2", "ProjectName=i",
        "[ShortCutSetting]\r\nUseSection=MyLinks\r\n[MyLinks]\r\n0=a|\r\n[ShortCutItems]\r\n0=keep|\r\n"
        "[Installer]\r\nEnableShortCutSetting=1\r\nEnableRegistrySetting=1\r\n"
        "[ButtonStatus]\r\n3=" + S("×") + "\r\n4=" + S("×") + "\r\n");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    ASSERT_TRUE(commands->InitializeProject([&](InitializeProjectDialogModel& m) {
        m.checked[2] = true;
        ui.QueueAnswer(Answer::Yes);
        return m.Ok(ui);
    }));
    const TIniDocument doc = Doc();
    EXPECT_FALSE(doc.SectionExists("MyLinks"));
    EXPECT_FALSE(doc.SectionExists("ShortCutSetting"));
    EXPECT_TRUE(doc.SectionExists("ShortCutItems"));  // not the section UseSection names
    EXPECT_FALSE(doc.ValueExists("Installer", "EnableShortCutSetting"));
    EXPECT_TRUE(doc.ValueExists("Installer", "EnableRegistrySetting"));
    EXPECT_EQ(doc.ReadString("ButtonStatus", "3"), "");
    EXPECT_EQ(doc.ReadString("ButtonStatus", "4"), S("×"));
    EXPECT_EQ(doc.ReadString("Project", "UpdateDateTime"), "2026/12/09 6:00:00");
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("選択された項目を初期化しますか。")});
}

// The uninstall entry erases its settings, the delete-registry and keep-files lists and their
// switches, and nothing else: the delete-files and keep-registry lists stay (they used to go).
TEST_F(CommandsFixture, InitializeUninstallNamesListsBeforeErasing) {
    const std::string p = WriteProject(
        "u.PJ2", "ProjectName=u",
        "[UninstallSetting]\r\nX=1\r\n[DeleteRegistrySetting]\r\nUseSection=DR\r\n[DR]\r\n0=x\r\n"
        "[UnDeleteFileSetting]\r\n[UnDeleteFileItems]\r\n0=y\r\n[DeleteFileSetting]\r\n[DeleteFileItems]\r\n0=z\r\n"
        "[UnDeleteRegistrySetting]\r\n[UnDeleteRegistryItems]\r\n0=w\r\n"
        "[Installer]\r\nEnableUnInstallSetting=1\r\nEnableDeleteRegistrySetting=1\r\nEnableUnDeleteFileSetting=1\r\n"
        "EnableDeleteFileSetting=1\r\nEnableUnDeleteRegistrySetting=1\r\nOptions=3\r\n");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    ASSERT_TRUE(commands->InitializeProject([&](InitializeProjectDialogModel& m) {
        m.checked[5] = true;
        ui.QueueAnswer(Answer::Yes);
        return m.Ok(ui);
    }));
    const TIniDocument doc = Doc();
    for (const char* gone : {"UninstallSetting", "DeleteRegistrySetting", "DR", "UnDeleteFileSetting",
                             "UnDeleteFileItems"}) {
        EXPECT_FALSE(doc.SectionExists(gone)) << gone;
    }
    for (const char* kept : {"DeleteFileSetting", "DeleteFileItems", "UnDeleteRegistrySetting", "UnDeleteRegistryItems"})
        EXPECT_TRUE(doc.SectionExists(kept)) << kept;
    for (const char* gone : {"EnableUninstallSetting", "EnableDeleteRegistrySetting", "EnableUnDeleteFileSetting"})
        EXPECT_FALSE(doc.ValueExists("Installer", gone)) << gone;
    for (const char* kept : {"EnableDeleteFileSetting", "EnableUnDeleteRegistrySetting", "Options"})
        EXPECT_TRUE(doc.ValueExists("Installer", kept)) << kept;
}

TEST_F(CommandsFixture, InitializeDialogNeedsATickAndAConfirmation) {
    InitializeProjectDialogModel m;
    EXPECT_FALSE(m.Ok(ui));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("初期化対象の項目が選択されていません。")});
    m.checked[0] = true;
    EXPECT_FALSE(m.Ok(ui));  // No to the confirmation
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(m.Ok(ui));
    EXPECT_EQ(InitializeProjectDialogModel::EntryCaption(2), S("ショートカットの設定"));
}

// ---- enabled commands ----

TEST(CommandRules, ByProjectTypeAndState) {
    MainWindowState none;
    for (Command c : {Command::New, Command::Open, Command::History, Command::Options, Command::Help, Command::Exit}) {
        EXPECT_TRUE(CommandEnabled(c, none, 0));
    }
    for (Command c : {Command::SaveAs, Command::Properties, Command::Build, Command::Files, Command::Protect}) {
        EXPECT_FALSE(CommandEnabled(c, none, 0));
    }
    MainWindowState open;
    open.projectOpen = true;
    open.protectEnabled = true;
    open.runInstallerAvailable = true;
    open.advancedMode = true;
    const std::vector<Command> reduced = {Command::Properties, Command::SaveAs, Command::Protect,
                                          Command::ToggleReadOnly, Command::Build, Command::AppInfo, Command::Files};
    const std::vector<Command> installerOnly = {Command::ShortCut, Command::Registry, Command::IniFile,
                                                Command::Uninstall, Command::InstallerOption, Command::Initialize,
                                                Command::ProcessOrder, Command::RunInstaller};
    for (Command c : reduced) {
        EXPECT_TRUE(CommandEnabled(c, open, 0));
        EXPECT_TRUE(CommandEnabled(c, open, 1));
    }
    for (Command c : installerOnly) {
        EXPECT_TRUE(CommandEnabled(c, open, 0));
        EXPECT_FALSE(CommandEnabled(c, open, 1));
    }
    open.advancedMode = false;
    EXPECT_FALSE(CommandEnabled(Command::ProcessOrder, open, 0));
    open.runInstallerAvailable = false;
    EXPECT_FALSE(CommandEnabled(Command::RunInstaller, open, 0));
}

TEST_F(CommandsFixture, OpenDialogRemembersTheFolder) {
    const std::string p = WriteProject("d.PJ2", "ProjectName=d");
    ui.QueueText(p);
    ASSERT_TRUE(commands->OpenProjectWithDialog());
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, S("プロジェクトファイル|*.pj2"));
    EXPECT_EQ(ui.shown()[0].caption, "C:\\users\\me\\Documents");
    EXPECT_EQ(settings.OpenDialogFolder(), "C:\\");
    EXPECT_EQ(commands->projectPath(), p);
    EXPECT_FALSE(commands->OpenProjectWithDialog());  // cancelled
}

TEST_F(CommandsFixture, LastStateIsRememberedOnlyWhenKept) {
    const std::string p = WriteProject("l.PJ2", "ProjectName=l");
    ASSERT_TRUE(commands->OpenProject(p, OpenOrigin::OpenDialog));
    commands->RememberLastState(false, 480, 640);
    EXPECT_EQ(settings.LastProject(), p);
    EXPECT_EQ(settings.ReadOptions().windowSizeWidth, 640);
    commands->RememberLastState(true, 480, 640);
    EXPECT_TRUE(settings.ReadOptions().maxWindowSize);
    EXPECT_EQ(settings.ReadOptions().windowSizeHeight, 0);

    EditorOptions o = settings.ReadOptions();
    o.saveLastState = false;
    settings.WriteOptions(o);
    settings.SetLastProject("C:\\old.PJ2");
    commands->RememberLastState(false, 1, 1);
    EXPECT_EQ(settings.LastProject(), "C:\\old.PJ2");
}

TEST_F(CommandsFixture, ClearHistoryAsksFirst) {
    settings.WriteHistory({"C:\\a.PJ2"});
    Make();
    EXPECT_FALSE(commands->ClearHistory());
    EXPECT_EQ(settings.History().size(), 1u);
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(commands->ClearHistory());
    EXPECT_TRUE(settings.History().empty());
    EXPECT_TRUE(commands->history().empty());
    EXPECT_EQ(ui.messages().back(), S("ファイルの履歴を削除しますか。"));
}

}  // namespace
