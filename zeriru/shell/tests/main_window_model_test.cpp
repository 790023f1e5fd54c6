#include "zeriru/main_window_model.h"

#include "shell_fixture.h"
#include "zeriru/help_topics.h"

#include <fstream>

namespace fs = std::filesystem;
using namespace zeriru;

namespace {

struct MainWindowModelTest : ShellTest {
    std::vector<std::string> opened;
    std::unique_ptr<MainWindowModel> model;

    void SetUp() override {
        ShellTest::SetUp();
        Make();
    }
    void Make() {
        MainWindowModel::Hooks hooks;
        hooks.openUrl = [this](const std::string& url) {
            opened.push_back(url);
            return true;
        };
        model = std::make_unique<MainWindowModel>(ui, *env, hooks);
    }
    // A buildable project at C:\p\<name>.PJ2 with one file, building into C:\out\<name>.
    std::string Project(const std::string& name, int createType = 1, int projectType = 0) {
        const std::string path = "C:\\p\\" + name + ".PJ2";
        std::ofstream(Host("C:\\src.txt")) << "data";
        WriteProject(path, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=" + name + "\nCreateFileName=setup\n"
                           "CreateFolder=C:\\out\\" + name + "\nCreateFileType=" + std::to_string(createType) +
                           "\nProjectType=" + std::to_string(projectType) + "\nCreateFolderBeforeBackup=0\n"
                           "InstallerModuleName=ZU_VAZUZA\n[Software]\nInstallerTitle=T\nSoftName=A\nCopyright=C\n"
                           "[Files]\n0=1|0|%InstallDir%||C:\\src.txt|\n");
        return path;
    }
    bool Enabled(Action a) const { return model->StateOf(a).enabled; }
};

}  // namespace

TEST_F(MainWindowModelTest, WithoutAProjectOnlyNewOpenOptionsExitAndHelpWork) {
    for (Action a : {Action::New, Action::Open, Action::Exit, Action::Options, Action::HelpContents, Action::About,
                     Action::CheckUpdate, Action::HomePage})
        EXPECT_TRUE(Enabled(a)) << static_cast<int>(a);
    for (Action a : {Action::SaveAs, Action::Properties, Action::Build, Action::RunInstaller, Action::Initialize,
                     Action::AppInfo, Action::Files, Action::Protect, Action::ToggleReadOnly, Action::ClearHistory,
                     Action::Abort})
        EXPECT_FALSE(Enabled(a)) << static_cast<int>(a);
    EXPECT_FALSE(model->StateOf(Action::RunInstaller).visible);
    EXPECT_EQ(model->state().caption, S("Raredovoエディタ"));
}

TEST_F(MainWindowModelTest, ProjectTypeModeAndCreateTypeDecideTheCommands) {
    ASSERT_TRUE(model->commands().OpenProject(Project("full", 2), OpenOrigin::OpenDialog));
    EXPECT_EQ(model->state().caption, "Raredovo - full.PJ2");
    EXPECT_EQ(model->state().statusPanels[2], "LHA Sfx");
    for (Action a : {Action::SaveAs, Action::Build, Action::Registry, Action::Uninstall, Action::Initialize,
                     Action::Protect, Action::ClearHistory})
        EXPECT_TRUE(Enabled(a)) << static_cast<int>(a);
    EXPECT_FALSE(model->StateOf(Action::ProcessOrder).visible) << "standard mode";
    EXPECT_TRUE(model->StateOf(Action::RunInstaller).visible);
    EXPECT_FALSE(Enabled(Action::RunInstaller)) << "nothing built yet";
    EXPECT_EQ(model->BuildCaption(), S("インストールファイルの作成(&C)"));

    EditorOptions options = env->settings().ReadOptions();
    options.mode = 1;
    env->settings().WriteOptions(options);
    model->Refresh();
    EXPECT_TRUE(model->StateOf(Action::ProcessOrder).visible);
    EXPECT_TRUE(Enabled(Action::ProcessOrder));

    ASSERT_TRUE(model->commands().OpenProject(Project("reduced", 3, 1), OpenOrigin::OpenDialog));
    for (Action a : {Action::Properties, Action::SaveAs, Action::Protect, Action::ToggleReadOnly, Action::Build,
                     Action::AppInfo, Action::Files})
        EXPECT_TRUE(Enabled(a)) << static_cast<int>(a);
    for (Action a : {Action::ShortCut, Action::Registry, Action::IniFile, Action::Uninstall, Action::InstallerOption,
                     Action::Initialize, Action::ProcessOrder, Action::RunInstaller})
        EXPECT_FALSE(Enabled(a)) << static_cast<int>(a);
    EXPECT_EQ(model->BuildCaption(), S("圧縮ファイルの作成(&C)"));

    ASSERT_TRUE(model->commands().ToggleReadOnly());
    EXPECT_FALSE(Enabled(Action::Protect)) << "read-only";
    EXPECT_EQ(model->state().statusPanels[3], "ReadOnly");
}

TEST_F(MainWindowModelTest, ABuildListsItsMessagesDisablesTheCommandsAndMakesTheInstallerRunnable) {
    ASSERT_TRUE(model->commands().OpenProject(Project("copy"), OpenOrigin::OpenDialog));
    EXPECT_EQ(model->BuildCaption(), S("指定されたフォルダへコピーする(&C)"));
    EXPECT_FALSE(Enabled(Action::RunInstaller));
    std::vector<BuildMessage> rows;
    bool started = false, succeeded = false;
    bool buildWhileBuilding = true, helpWhileBuilding = false, abortWhileBuilding = false;
    ui.QueueAnswer(Answer::Yes);  // copy to the folder
    MainWindowModel::BuildView view;
    view.onStart = [&] { started = true; };
    view.onMessage = [&](const BuildMessage& m) {
        rows.push_back(m);
        buildWhileBuilding = Enabled(Action::Build);
        helpWhileBuilding = Enabled(Action::About);
        abortWhileBuilding = Enabled(Action::Abort);
    };
    view.onFinish = [&](bool ok) { succeeded = ok; };
    ASSERT_TRUE(model->Build(view));
    EXPECT_TRUE(started);
    EXPECT_TRUE(succeeded);
    EXPECT_FALSE(buildWhileBuilding);
    EXPECT_TRUE(helpWhileBuilding);
    EXPECT_TRUE(abortWhileBuilding);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[rows.size() - 3].text, S("処理は正常に終了しました。"));
    EXPECT_EQ(rows.back().text, S("総ヒント数: 0"));
    EXPECT_EQ(ui.shown()[0].helpTopic, help_topic::kCopyToFolder) << "the copy question has its help button";
    EXPECT_TRUE(fs::exists(Host("C:\\out\\copy\\INSTALL.EXE")));
    EXPECT_TRUE(Enabled(Action::Build));
    EXPECT_TRUE(Enabled(Action::RunInstaller)) << "the refresh after the build finds Install.exe";
}

TEST_F(MainWindowModelTest, AbortEndsTheBuildWithItsSummary) {
    ASSERT_TRUE(model->commands().OpenProject(Project("abort", 3), OpenOrigin::OpenDialog));
    std::vector<std::string> texts;
    MainWindowModel::BuildView view;
    view.onMessage = [&](const BuildMessage& m) {
        texts.push_back(m.text);
        if (texts.size() == 1) model->Abort();  // "中止" pressed while the first line shows
    };
    bool succeeded = true;
    view.onFinish = [&](bool ok) { succeeded = ok; };
    ASSERT_TRUE(model->Build(view));
    EXPECT_FALSE(succeeded);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 3], S("指示により中止しました。"));
    EXPECT_FALSE(Enabled(Action::Abort));
}

TEST_F(MainWindowModelTest, ASixthProjectGoesFirstAndTheMenusShowFive) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(Project("p" + std::to_string(i)));
        ASSERT_TRUE(model->commands().OpenProject(paths.back(), OpenOrigin::OpenDialog));
    }
    const auto menu = model->HistoryMenu();
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu.front(), paths[5]);
    EXPECT_EQ(menu.back(), paths[1]);
    Make();  // a restart reads five
    EXPECT_EQ(model->HistoryMenu(), menu);
    EXPECT_TRUE(model->OpenHistoryEntry(3));
    EXPECT_EQ(model->HistoryMenu().front(), paths[2]);
    EXPECT_FALSE(model->OpenHistoryEntry(5));
}

TEST_F(MainWindowModelTest, StartOpensTheArgumentOrTheLastProjectAndRestoresTheWindow) {
    const std::string first = Project("first");
    EXPECT_FALSE(model->OpenStartProject({"/nowhere/x.PJ2"}));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("指定のファイルは存在しません。\r\rファイル名:\r/nowhere/x.PJ2")});
    EXPECT_TRUE(model->OpenStartProject({" " + Host(first).string() + " "})) << "a host path, trimmed";
    EXPECT_EQ(model->commands().projectPath(), first);
    EXPECT_FALSE(model->StartWindowSize().has_value()) << "no size remembered yet";
    model->Shutdown(false, 800, 600);

    Make();
    EXPECT_TRUE(model->OpenStartProject({}));
    EXPECT_EQ(model->commands().projectPath(), first);
    ASSERT_TRUE(model->StartWindowSize().has_value());
    EXPECT_EQ(model->StartWindowSize()->width, 800);
    EXPECT_EQ(model->StartWindowSize()->height, 600);
    model->Shutdown(true, 800, 600);
    EXPECT_TRUE(model->StartWindowSize()->maximized);

    EditorOptions options = env->settings().ReadOptions();
    options.saveLastState = false;
    env->settings().WriteOptions(options);
    Make();
    EXPECT_FALSE(model->OpenStartProject({}));
    EXPECT_FALSE(model->StartWindowSize().has_value());
}

TEST_F(MainWindowModelTest, HelpMenuPagesAskFirstAndMessageRowsOpenTheirTopic) {
    EXPECT_FALSE(model->OpenWebPage(Action::HomePage));
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(model->OpenWebPage(Action::ReportPage));
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{S("ホームページに接続しますか。"), S("報告用ページに接続しますか？")}));
    EXPECT_EQ(opened, std::vector<std::string>{web::kReportPage});
    model->OpenMessageHelp(0);
    model->OpenMessageHelp(-1);
    model->OpenMessageHelp(123);
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{123});
}

TEST_F(MainWindowModelTest, UpdateFromTheMenuOpensTheAddressUnderTheBusyCursor) {
    UpdateInformation newer{24504, "Ver.2.45.0.4", "http://download.example/x"};
    ui.QueueAnswer(Answer::Yes);
    int busyDuringFetch = 0;
    EXPECT_EQ(model->CheckUpdateFromMenu([&] {
        busyDuringFetch = ui.busyDepth();
        return std::optional<UpdateInformation>(newer);
    }),
              UpdateCheckOutcome::Opened);
    EXPECT_EQ(busyDuringFetch, 1);
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_EQ(opened, std::vector<std::string>{"http://download.example/x"});
    EXPECT_EQ(model->ReportStartupUpdate(std::nullopt), UpdateCheckOutcome::NoInformation);
    EXPECT_EQ(ui.messages().size(), 1u) << "start-up failures are silent";
}

TEST_F(MainWindowModelTest, HintsWaitForTheFirstDialogOfTheRun) {
    int shown = 0;
    MainWindowModel::Hooks hooks;
    hooks.hintDialog = [&](HintDialogModel&) { ++shown; };
    model = std::make_unique<MainWindowModel>(ui, *env, hooks);
    EXPECT_FALSE(model->ShowHint(0, true));
    model->hints().Enable();
    EXPECT_TRUE(model->ShowHint(0, true));
    EXPECT_EQ(shown, 1);
}
