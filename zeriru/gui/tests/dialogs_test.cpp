// The dialogs opened from the main window, filled by a test and confirmed with their own OK.
#include "gui_fixture.h"
#include "qtsupport/item_list.h"
#include "zeriru/gui/dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::testing::Find;

namespace {

struct DialogsTest : GuiTest {
    void Advanced() {
        EditorOptions options = env->settings().ReadOptions();
        options.mode = 1;
        env->settings().WriteOptions(options);
        form->RefreshFromModel();
    }
    TIniDocument Doc(const std::string& path) { return TIniDocument::OpenWindowsPath(path); }
};

// Row of the step kind in a process order list.
int RowOfKind(qtsupport::ItemListView* view, int kind) {
    auto* model = static_cast<qtsupport::ItemListModel*>(view->model());
    for (int r = 0; r < model->rowCount(); ++r)
        if (ProcessOrderDialogModel::Kind(model->record(r)) == kind) return r;
    return -1;
}

}  // namespace

TEST_F(DialogsTest, OptionsRefuseAnUpdateCheckWithoutAddressThenWriteEverything) {
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmConfigDialog"));
        EXPECT_EQ(d.windowTitle(), Q("オプション"));
        auto* checkFiles = Find<QCheckBox>(d, "chkCheckFileList");
        auto* skip = Find<QCheckBox>(d, "chkSkipMessage");
        EXPECT_FALSE(skip->isEnabled());
        checkFiles->setChecked(true);
        EXPECT_TRUE(skip->isEnabled());
        skip->setChecked(true);
        checkFiles->setChecked(false);
        EXPECT_FALSE(skip->isChecked()) << "unticked with its master";
        auto* group = Find<QGroupBox>(d, "grpInformation");
        EXPECT_TRUE(group->isHidden());
        Find<QRadioButton>(d, "rbAdvanced")->setChecked(true);
        EXPECT_FALSE(group->isHidden());
        Find<QCheckBox>(d, "chkCheckUpdate")->setChecked(true);
        Find<QLineEdit>(d, "edtUpdateUrl")->clear();
        Find<QSpinBox>(d, "edtProxyPort")->setValue(8080);
        Find<QLineEdit>(d, "edtProxyPassword")->setText("pw");
        Find<QTabWidget>(d, "PageControl")->setCurrentIndex(0);
        EXPECT_TRUE(ClickButton(d, "btnOk"));
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(ui.messages(), std::vector<std::string>{S("更新情報を取得するためのURLを指定してください。")});
        EXPECT_EQ(Find<QTabWidget>(d, "PageControl")->currentWidget()->objectName(), QStringLiteral("tsAutoUpdate"));
        Find<QLineEdit>(d, "edtUpdateUrl")->setText("http://127.0.0.1/u.inf");
        ClickButton(d, "btnHelp");
        EXPECT_TRUE(ClickButton(d, "btnOk"));
    });
    form->action(Action::Options)->trigger();
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{204});
    const EditorOptions o = env->settings().ReadOptions();
    EXPECT_EQ(o.mode, 1);
    EXPECT_TRUE(o.checkUpdate);
    EXPECT_FALSE(o.checkFileList);
    EXPECT_FALSE(o.skipMessage);
    EXPECT_EQ(o.updateUrl, "http://127.0.0.1/u.inf");
    EXPECT_EQ(o.proxyPort, 8080);
    EXPECT_EQ(o.proxyPassword, "pw");
    EXPECT_EQ(o.lastTab, 3);
    EXPECT_TRUE(form->action(Action::ProcessOrder)->isVisible()) << "advanced mode shows the process order";
}

TEST_F(DialogsTest, ProcessOrderRefusesAMoveAndWritesTheOrderOnOk) {
    Advanced();
    form->StartUp({Host(Sample()).string()});
    runner.Queue([this](QDialog& d) {
        auto* view = Find<qtsupport::ItemListView>(d, "lvInstallOrder");
        auto* up = Find<QPushButton>(d, "btnInstallUp");
        EXPECT_FALSE(view->isEnabled()) << "switched off";
        Find<QCheckBox>(d, "chkInstallOrder")->setChecked(true);
        EXPECT_TRUE(view->isEnabled());
        // Defaults: 6 4 5 0 2 3 1 7. Bring the run-after step right below the copy step.
        view->selectRowOnly(RowOfKind(view, 7));
        for (int i = 0; i < 3; ++i) ClickButton(d, "btnInstallUp");
        EXPECT_EQ(RowOfKind(view, 7), 4);
        EXPECT_TRUE(ui.messages().empty());
        ClickButton(d, "btnInstallUp");
        EXPECT_EQ(ui.messages(), std::vector<std::string>{
                                     S("この項目は「ファイルのコピー/フォルダの作成」より前には移動できません")});
        EXPECT_EQ(RowOfKind(view, 7), 4) << "the order is unchanged";
        EXPECT_EQ(view->currentRowIndex(), 4);
        view->selectRowOnly(0);
        EXPECT_FALSE(up->isEnabled());
        EXPECT_TRUE(ClickButton(d, "btnOk"));
    });
    form->action(Action::ProcessOrder)->trigger();
    const TIniDocument doc = Doc(Sample());
    EXPECT_TRUE(doc.ReadBool("Installer", "EnableInstallProcessOrderSetting", false));
    EXPECT_EQ(doc.ReadString("InstallProcessOrderItems", "4"), "1|7|||||65535||||||||||||||");
    EXPECT_EQ(doc.ReadString("InstallProcessOrderItems", "3"), "1|0|||||65535||||||||||||||");
    EXPECT_EQ(doc.ReadString("UnInstallProcessOrderItems", "0"), "1|6|||||65535||||||||||||||");
}

TEST_F(DialogsTest, ProcessOrderWithEveryStepUntickedStaysOpenOnItsPage) {
    Advanced();
    form->StartUp({Host(Sample()).string()});
    runner.Queue([this](QDialog& d) {
        Find<QCheckBox>(d, "chkUnInstallOrder")->setChecked(true);
        auto* view = Find<qtsupport::ItemListView>(d, "lvUnInstallOrder");
        for (int r = 0; r < view->model()->rowCount(); ++r)
            view->model()->setData(view->model()->index(r, 0), Qt::Unchecked, Qt::CheckStateRole);
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Find<QTabWidget>(d, "PageControl")->currentIndex(), 1);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{S("アンインストール処理を行う項目を最低1つは選択してください。")});
    });
    form->action(Action::ProcessOrder)->trigger();
    EXPECT_FALSE(Doc(Sample()).SectionExists("UnInstallProcessOrderItems")) << "cancelled: nothing written";
}

TEST_F(DialogsTest, InitialiseNeedsATickAndAConfirmation) {
    form->StartUp({Host(Sample()).string()});
    runner.Queue([this](QDialog& d) {
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("初期化対象の項目が選択されていません。"));
        Find<QCheckBox>(d, "chkItem0")->setChecked(true);
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnOk");
    });
    form->action(Action::Initialize)->trigger();
    EXPECT_EQ(ui.messages().back(), S("選択された項目を初期化しますか。"));
    const TIniDocument doc = Doc(Sample());
    EXPECT_FALSE(doc.SectionExists("Software"));
    EXPECT_EQ(doc.ReadString("ButtonStatus", "1"), "");
    EXPECT_EQ(doc.ReadString("ButtonStatus", "2"), S("×"));
    EXPECT_EQ(Widget<QPushButton>("btnAppInfo")->text(), QString());
}

TEST_F(DialogsTest, ProtectionAsksForThePasswordAtTheNextOpen) {
    form->StartUp({Host(Sample()).string()});
    runner.Queue([](QDialog& d) {
        auto* password = Find<QLineEdit>(d, "edtPassword");
        EXPECT_FALSE(password->isEnabled());
        Find<QCheckBox>(d, "chkProtect")->setChecked(true);
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        password->setText(QStringLiteral("秘密"));
        ClickButton(d, "btnOk");
    });
    form->action(Action::Protect)->trigger();
    EXPECT_TRUE(Doc(Sample()).ValueExists("Project", "ProjectData"));
    form->close();
    Start();
    ui.QueueText(S("秘密"));
    form->StartUp({});
    EXPECT_EQ(model().commands().projectPath(), Sample());
    EXPECT_EQ(ui.shown().back().kind, "input");
    EXPECT_EQ(ui.shown().back().caption, S("プロジェクトの保護"));
}

TEST_F(DialogsTest, LanguageTextsListsIdsAndChangesATextThroughTheInputBox) {
    LanguageTextsDialogModel model(LanguageTextList{false, {{100, S("次へ(&N)")}, {101, S("戻る(&B)")}}});
    TLanguageDialog dialog(model, ui, form.get());
    runner.Queue([this](QDialog& d) {
        auto* view = Find<qtsupport::ItemListView>(d, "lvLanguage");
        EXPECT_EQ(view->model()->rowCount(), 2);
        EXPECT_EQ(view->model()->index(1, 0).data().toString(), QStringLiteral("101"));
        EXPECT_EQ(view->model()->index(1, 1).data().toString(), Q("戻る(&B)"));
        EXPECT_EQ(Find<QLabel>(d, "lblNote")->text(), Q("%s: 内部文字列\u3000#13: 改行文字列"));
        view->selectRowOnly(1);
        ui.QueueText(S("前へ(&B)"));
        ClickButton(d, "btnChange");
        EXPECT_EQ(view->model()->index(1, 1).data().toString(), Q("前へ(&B)"));
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(runner.Run(dialog), QDialog::Accepted);
    EXPECT_EQ(model.list().texts[1].text, S("前へ(&B)"));
    EXPECT_EQ(ui.shown().back().caption, S("言語データの変更"));
    EXPECT_EQ(ui.shown().back().text, S("新しい文字列を指定してください。"));
}

TEST_F(DialogsTest, AboutShowsTheVersionAndOpensItsLinks) {
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), Q("バージョン情報"));
        EXPECT_EQ(Find<QLabel>(d, "lblTitle")->text(), QStringLiteral("Raredovo"));
        EXPECT_EQ(Find<QLabel>(d, "lblVersion")->text(), QStringLiteral("Ver.2.45.0.3"));
        Q_EMIT Find<QLabel>(d, "lblSupport")->linkActivated(QStringLiteral("http://www.zuzoruve.example/support/"));
    });
    form->action(Action::About)->trigger();
    EXPECT_EQ(opened, std::vector<std::string>{"http://www.zuzoruve.example/support/"});
}
