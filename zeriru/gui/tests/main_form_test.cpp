// The main window driven as a user would, offscreen: keys, buttons, menus and the 500 ms timer.
#include "gui_fixture.h"
#include "zeriru/gui/message_list.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace zeriru;
using namespace zeriru::gui;

namespace {

struct MainFormTest : GuiTest {
    // The texts of the message list as shown.
    QStringList Rows() {
        auto* view = Widget<QTableView>("lvMessageList");
        QStringList rows;
        for (int r = 0; r < view->model()->rowCount(); ++r) rows << view->model()->index(r, 0).data().toString();
        return rows;
    }
    QString Panel(const char* name) { return Widget<QLabel>(name)->text(); }
    void TimerTick() {
        QMetaObject::invokeMethod(Widget<QTimer>("tmrRefresh"), "timeout");
        QApplication::processEvents();
    }
};

}  // namespace

TEST_F(MainFormTest, OpeningTheSampleShowsItsCaptionStatusAndButtonMarks) {
    EXPECT_EQ(form->windowTitle(), Q("Raredovoエディタ"));
    EXPECT_FALSE(Widget<QPushButton>("btnAppInfo")->isEnabled());
    form->StartUp({Host(Sample()).string()});
    EXPECT_EQ(form->windowTitle(), Q("Raredovo - 見本アプリ.PJ2"));
    EXPECT_EQ(Panel("pnlTitle"), Q("プロジェクト名"));
    EXPECT_EQ(Panel("pnlProjectName"), Q("見本アプリ"));
    EXPECT_EQ(Panel("pnlCreateType"), Q("LHA Sfx"));
    EXPECT_EQ(Panel("pnlReadOnly"), QString());
    EXPECT_EQ(Widget<QPushButton>("btnAppInfo")->text(), Q("×"));
    EXPECT_EQ(Widget<QPushButton>("btnFiles")->text(), Q("×"));
    EXPECT_EQ(Widget<QPushButton>("btnShortCut")->text(), QString());
    EXPECT_TRUE(Widget<QPushButton>("btnRegistry")->isEnabled());
    EXPECT_EQ(Widget<QPushButton>("lblRegistry")->text(), Q("レジストリの設定(&R)"));
    EXPECT_FALSE(form->action(Action::ProcessOrder)->isVisible()) << "standard mode";
    EXPECT_TRUE(form->action(Action::RunInstaller)->isVisible());
    EXPECT_FALSE(Widget<QToolButton>("tbExecuteInstaller")->isEnabled()) << "not built yet";

    // Read-only shows in the status bar at the next refresh.
    platform::winpath::SetFileAttributes(Sample(), platform::winpath::kAttrReadOnly);
    TimerTick();
    EXPECT_EQ(Panel("pnlReadOnly"), QStringLiteral("ReadOnly"));
    EXPECT_FALSE(form->action(Action::Protect)->isEnabled());
}

TEST_F(MainFormTest, CtrlF9BuildsTheSampleIntoTheMessageListAndTheInstallerBecomesRunnable) {
    form->StartUp({Host(Sample()).string()});
    QTest::keyClick(form.get(), Qt::Key_F9, Qt::ControlModifier);
    const QStringList rows = Rows();
    ASSERT_GE(rows.size(), 10);
    // The same build from the command line lists the same lines, one per row.
    const std::string command = "ZUZORUVE_SHARE='" SUITE_SHARE_DIR "' '" ZERIRU_PROGRAM "' '" + Host(Sample()).string() +
                                "' /BUILD '" + (root_ / "cli").string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    QStringList lines;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) lines << QString::fromUtf8(line).chopped(1);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(rows, lines);
    EXPECT_EQ(rows.front(), Q("プロジェクトファイルの内容を確認しています。"));
    EXPECT_EQ(rows[rows.size() - 3], Q("処理は正常に終了しました。"));
    EXPECT_EQ(rows.back(), Q("総ヒント数: 0"));
    EXPECT_TRUE(fs::exists(Host(S("C:\\見本出力\\見本アプリ_1_0.exe"))));
    EXPECT_EQ(Widget<QTabWidget>("PageControl")->currentWidget()->objectName(), QStringLiteral("tsOption"))
        << "no warnings: back to the settings page";
    EXPECT_FALSE(Widget<QPushButton>("btnAbort")->isEnabled());
    form->action(Action::RunInstaller)->setEnabled(false);
    TimerTick();
    EXPECT_TRUE(form->action(Action::RunInstaller)->isEnabled());
    EXPECT_TRUE(Widget<QToolButton>("tbExecuteInstaller")->isEnabled());
}

TEST_F(MainFormTest, AbortEndsTheBuildAndAMessageRowOpensItsHelpTopic) {
    form->StartUp({Host(Sample()).string()});
    // "中止" is pressed as soon as the build lets the window handle its events.
    QTimer::singleShot(0, form.get(), [this] { QTest::mouseClick(Widget<QPushButton>("btnAbort"), Qt::LeftButton); });
    form->action(Action::Build)->trigger();
    const QStringList rows = Rows();
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows[rows.size() - 3], Q("指示により中止しました。"));
    EXPECT_EQ(Widget<QTabWidget>("PageControl")->currentWidget()->objectName(), QStringLiteral("tsMessage"));

    // A project without title: error 2 with topic 131; a double click on its row opens it.
    const std::string broken = SampleCopy("broken", {});
    TIniDocument doc = TIniDocument::OpenWindowsPath(broken);
    doc.WriteString("Software", "InstallerTitle", "");
    doc.UpdateFile();
    ASSERT_TRUE(model().commands().OpenProject(broken, OpenOrigin::OpenDialog));
    form->RefreshFromModel();
    form->action(Action::Build)->trigger();
    auto* view = Widget<QTableView>("lvMessageList");
    EXPECT_TRUE(view->isColumnHidden(BuildMessageListModel::kErrorId));
    int errorRow = -1;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, 1).data().toString() == QStringLiteral("131")) errorRow = r;
    ASSERT_GE(errorRow, 0);
    EXPECT_FALSE(view->model()->index(errorRow, 0).data(Qt::DecorationRole).isNull()) << "an error icon";
    Q_EMIT view->activated(view->model()->index(errorRow, 0));
    Q_EMIT view->activated(view->model()->index(0, 0));  // a progress line has no topic
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{131});
}

TEST_F(MainFormTest, ACabSelfExtractorBuiltFromTheWindowFinishesWithRozivuFillingTheDialog) {
    // The running editor's application window, as the program registers it.
    qtsupport::SingleInstance instance("VE_ZOVAVA2");
    ASSERT_TRUE(instance.ServeBringToFront(kApplicationTitle, form.get())) << instance.error();
    ::setenv("CAB32_DIALOG_TIMEOUT_MS", "30000", 1);
    form->StartUp({Host(SampleCopy("cab", {{"CreateFileType", "4"}})).string()});
    EXPECT_EQ(Panel("pnlCreateType"), QStringLiteral("CAB Sfx"));
    form->action(Action::Build)->trigger();
    ::unsetenv("CAB32_DIALOG_TIMEOUT_MS");
    const QStringList rows = Rows();
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows[rows.size() - 3], Q("処理は正常に終了しました。")) << rows.join('\n').toStdString();
    EXPECT_TRUE(rows.contains(Q("インストーラファイルに変換しています。")));
    EXPECT_TRUE(fs::exists(Host(S("C:\\見本出力\\見本アプリ_1_0.exe"))));
    EXPECT_FALSE(fs::exists(Host(S("C:\\見本出力\\見本アプリ_1_0.cab"))));
}

TEST_F(MainFormTest, ASecondProcessBringsTheFirstWindowToTheFront) {
    qtsupport::SingleInstance instance("VE_ZOVAVA2");
    ASSERT_TRUE(instance.ServeBringToFront(kApplicationTitle, form.get())) << instance.error();
    form->showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(form->isMinimized());
    const pid_t second = ::fork();
    if (second == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("ZUZORUVE_SHARE", SUITE_SHARE_DIR, 1);
        ::execl(ZERIRU_PROGRAM, "zeriru", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(second, 0);
    // The second copy shows its message and waits for OK; the first is up by then.
    EXPECT_TRUE(SpinUntil([&] { return !form->isMinimized(); }));
    ::kill(second, SIGTERM);
    int status = 0;
    ::waitpid(second, &status, 0);

    // The same hand-over in this process, where its message can be read.
    ScriptedUi secondUi;
    form->showMinimized();
    HandOverToFirstCopy(secondUi);
    EXPECT_EQ(secondUi.messages(), std::vector<std::string>{S("Raredovoはすでに起動されています。")});
    EXPECT_TRUE(SpinUntil([&] { return !form->isMinimized(); }));
}

TEST_F(MainFormTest, TheHistoryMenusShowTheFiveMostRecentAndASixthGoesFirst) {
    EXPECT_FALSE(Widget<QMenu>("mnuHistory")->menuAction()->isEnabled()) << "an empty history";
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(SampleCopy("h" + std::to_string(i), {}));
        ASSERT_TRUE(model().commands().OpenProject(paths.back(), OpenOrigin::OpenDialog));
    }
    auto* menu = Widget<QMenu>("mnuProject");
    QMetaObject::invokeMethod(menu, "aboutToShow");
    auto* history = Widget<QMenu>("mnuHistory");
    EXPECT_TRUE(history->menuAction()->isEnabled());
    QStringList entries;
    for (QAction* a : history->actions())
        if (a->objectName().startsWith("actHistory")) entries << a->text();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_TRUE(entries.front().endsWith(qtsupport::ToQString(paths[5])));
    EXPECT_TRUE(entries.back().endsWith(qtsupport::ToQString(paths[1])));
    history->findChild<QAction*>("actHistory4")->trigger();
    EXPECT_EQ(model().commands().projectPath(), paths[1]);

    // "履歴の削除" asks first.
    ui.QueueAnswer(Answer::Yes);
    form->action(Action::ClearHistory)->trigger();
    EXPECT_EQ(ui.messages().back(), S("ファイルの履歴を削除しますか。"));
    EXPECT_TRUE(model().HistoryMenu().empty());
}

TEST_F(MainFormTest, ASuppressedHintStaysSuppressedAfterARestart) {
    form->StartUp({Host(Sample()).string()});
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmHintDialog"));
        EXPECT_EQ(d.windowTitle(), Q("ヒント"));
        qtsupport::testing::Find<QCheckBox>(d, "chkNoMore")->setChecked(true);
        qtsupport::ClickButton(d, "btnOk");
    });
    EXPECT_FALSE(model().ShowHint(0, true)) << "no hint before the first dialog of the run";
    model().hints().Enable();
    EXPECT_TRUE(model().ShowHint(0, true));
    EXPECT_EQ(runner.shown().size(), 1u);
    form->close();
    Start();  // a new run of the editor reads the settings again
    model().hints().Enable();
    EXPECT_FALSE(model().ShowHint(0, true));
    EXPECT_TRUE(model().ShowHint(1, true)) << "only that hint";
    EXPECT_EQ(runner.shown().size(), 2u);
}

TEST_F(MainFormTest, TheWindowSizeAndLastProjectComeBackAtTheNextStart) {
    form->StartUp({Host(Sample()).string()});
    form->resize(700, 500);
    QApplication::processEvents();
    form->close();
    Start();
    form->StartUp({});
    EXPECT_EQ(model().commands().projectPath(), Sample());
    EXPECT_EQ(form->size(), QSize(700, 500));
}

TEST_F(MainFormTest, SettingButtonsAndKeysOpenTheirEditors) {
    form->StartUp({Host(Sample()).string()});
    QTest::mouseClick(Widget<QPushButton>("lblRegistry"), Qt::LeftButton);
    QApplication::setActiveWindow(form.get());  // back from the editor's dialog
    QTest::keyClick(form.get(), Qt::Key_F7);
    EXPECT_EQ(runner.shown(),
              (std::vector<QString>{QStringLiteral("frmRegistryDialog"), QStringLiteral("frmUnInstallOptionDialog")}));
    EXPECT_TRUE(ui.messages().empty()) << ui.messages().front();
    EXPECT_EQ(Widget<QPushButton>("btnRegistry")->text(), QString()) << "nothing confirmed, no mark";
}

TEST_F(MainFormTest, TheUpdateCheckFromTheMenuEndsTheEditorAfterYesAndAtStartUpOnlyAsks) {
    fetch = [](const HttpGetRequest& request) {
        EXPECT_EQ(request.timeoutMs, 6000);
        return std::optional<UpdateInformation>(UpdateInformation{24600, "Ver.2.46", "http://download.example/"});
    };
    ui.QueueAnswer(Answer::Yes);
    form->action(Action::CheckUpdate)->trigger();
    EXPECT_EQ(opened, std::vector<std::string>{"http://download.example/"});
    EXPECT_FALSE(form->isVisible()) << "Yes ends the editor";

    EditorOptions options = env->settings().ReadOptions();
    options.checkUpdate = true;
    env->settings().WriteOptions(options);
    Start();
    ui.QueueAnswer(Answer::Yes);
    form->StartUp({});
    form->WaitForUpdateCheck();
    EXPECT_TRUE(SpinUntil([&] { return opened.size() == 2; }));
    EXPECT_TRUE(form->isVisible()) << "at start-up the editor keeps running";
    EXPECT_EQ(ui.messages().back(), S("最新版(Ver.2.46)が公開されています。ダウンロードしますか？"));
}

TEST_F(MainFormTest, EveryCommandHasItsShortcutAndMenu) {
    struct Case {
        Action action;
        QKeySequence key;
    } cases[] = {
        {Action::New, QKeySequence(Qt::CTRL | Qt::Key_N)},        {Action::Open, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Action::Properties, QKeySequence(Qt::ALT | Qt::Key_Return)}, {Action::Exit, QKeySequence(Qt::ALT | Qt::Key_F4)},
        {Action::Build, QKeySequence(Qt::CTRL | Qt::Key_F9)},     {Action::RunInstaller, QKeySequence(Qt::Key_F9)},
        {Action::AppInfo, QKeySequence(Qt::Key_F2)},              {Action::InstallerOption, QKeySequence(Qt::Key_F8)},
        {Action::HelpContents, QKeySequence(Qt::Key_F1)},
    };
    for (const Case& c : cases) EXPECT_EQ(form->action(c.action)->shortcut(), c.key) << static_cast<int>(c.action);
    for (const char* menu : {"mnuProject", "mnuEdit", "mnuProcess", "mnuTools", "mnuProtect", "mnuHelp"})
        EXPECT_NE(form->findChild<QMenu*>(menu), nullptr) << menu;
    for (const char* button : {"tbNew", "tbOpen", "tbSaveAs", "tbPropertie", "tbCreateInstaller", "tbExecuteInstaller"})
        EXPECT_NE(form->findChild<QToolButton*>(button), nullptr) << button;
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{0});
    auto* pages = Widget<QTabWidget>("PageControl");
    EXPECT_EQ(pages->tabPosition(), QTabWidget::South);
    QTest::keyClick(form.get(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("tsMessage"));
}

TEST_F(MainFormTest, BuildingFromTheCommandLineNeedsNoDisplay) {
    const std::string project = Host(Sample()).string();
    const std::string out = (root_ / "cli_out").string();
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ZUZORUVE_SHARE='" SUITE_SHARE_DIR
                                "' '" ZERIRU_PROGRAM "' '" + project + "' /SILENTBUILD '" + out + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::exists(fs::path(out) / "見本アプリ_1_0.exe"));
}
