// The project property dialogs opened from the main window, filled by a test and confirmed with
// their own OK: a new project's bytes, a read-only project that cannot change, the checks that
// take the user to the page and field, the language texts, the output name composer and a
// create-type-0 build through the create-option dialog.
#include "gui_fixture.h"
#include "qtsupport/item_list.h"
#include "zeriru/file_services.h"
#include "zeriru/gui/property_dialogs.h"
#include "zeriru/system_services.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::testing::Find;
namespace fs = std::filesystem;

namespace {

struct PropertyDialogsTest : GuiTest {
    static std::string Bytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    static QString CurrentPage(QDialog& d) { return Find<QTabWidget>(d, "PageControl")->currentWidget()->objectName(); }
    // The control that has the focus in the dialog (its window need not be active offscreen).
    static QString Focused(QDialog& d) { return d.focusWidget() ? d.focusWidget()->objectName() : QString(); }
};

}  // namespace

TEST_F(PropertyDialogsTest, ANewProjectMadeThroughTheDialogHoldsEscapedTextsAndEveryKeyInOrder) {
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmProjectDialog"));
        EXPECT_EQ(d.windowTitle(), Q("プロパティ"));
        EXPECT_FALSE(Find<QComboBox>(d, "cmbProjectType")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(d, "btnLangEdit")->isEnabled()) << "the new form edits no language";
        EXPECT_FALSE(Find<QPushButton>(d, "btnUndo")->isEnabled());
        EXPECT_EQ(Find<QComboBox>(d, "cmbFileType")->currentIndex(), 2) << "the default create type";
        Find<QLineEdit>(d, "edtProjectName")->setText(QStringLiteral("Sample"));
        Find<QLineEdit>(d, "edtFileName")->setText(QStringLiteral("setup"));
        Find<QComboBox>(d, "cmbFileType")->setCurrentIndex(3);
        Find<QComboBox>(d, "cmbFolder")->setEditText(QStringLiteral("C:\\Out"));
        Find<QLineEdit>(d, "edtName")->setText(Q("見本=工房|東京,本社"));
        Find<QLineEdit>(d, "edtURLInfoAbout")->setText(QStringLiteral("http://x.example/?a=1,b|2"));
        EXPECT_TRUE(ClickButton(d, "btnOk"));
    });
    form->action(Action::New)->trigger();
    ASSERT_EQ(model().commands().projectPath(), editor + "Project\\Sample.PJ2");
    EXPECT_EQ(runner.shown(), (std::vector<QString>{"frmProjectDialog", "frmHintDialog"})) << "hint 0: an archive type";
    const std::string bytes = Bytes(Host(editor + "Project\\Sample.PJ2"));
    const std::string support = S("[SupportInfo]\r\nPublisher=見本\x01工房\x02東京\x03本社\r\nCorporation=\r\nHelpLink=\r\n"
                                  "HelpTelephon=\r\nURLInfoAbout=http://x.example/?a\x01" "1\x03" "b\x02" "2\r\n"
                                  "URLUpdateInfo=\r\n\r\n");
    EXPECT_NE(bytes.find(support), std::string::npos) << bytes;
    const TIniDocument doc = TIniDocument::OpenWindowsPath(editor + "Project\\Sample.PJ2");
    EXPECT_EQ(doc.ReadSection("Project"),
              (std::vector<std::string>{"ProjectName", "CreateFileName", "CreateFolder", "InstallerModuleName",
                                        "InstallerModuleKey", "InstallerModuleLanguage", "MajorVersion", "MinorVersion",
                                        "CreateDateTime", "UpdateDateTime", "Generator", "ProjectType", "CreateFileType",
                                        "CreateFileCompLevel", "CreateFileNameOption", "InstallSource",
                                        "CreateFolderBeforeBackup"}));
    EXPECT_EQ(doc.ReadString("Project", "CreateFileType"), "3");
    EXPECT_EQ(env->settings().OutputFolders().front(), "C:\\Out") << "the folder is remembered";
}

TEST_F(PropertyDialogsTest, PropertiesOfAReadOnlyProjectHideOkAndChangeNothingOnDisk) {
    const std::string path = SampleCopy("readonly", {});
    ASSERT_TRUE(SetReadOnlyFile(Host(path), true));
    form->StartUp({Host(path).string()});
    const std::string before = Bytes(Host(path));
    const auto time = fs::last_write_time(Host(path));
    runner.Queue([this](QDialog& d) {
        EXPECT_FALSE(Find<QPushButton>(d, "btnOk")->isVisible());
        EXPECT_FALSE(Find<QPushButton>(d, "btnLangEdit")->isVisible());
        EXPECT_FALSE(Find<QPushButton>(d, "btnUndo")->isVisible());
        EXPECT_FALSE(Find<QCheckBox>(d, "cbDefault")->isVisible());
        EXPECT_FALSE(Find<QLineEdit>(d, "edtProjectName")->isEnabled());
        EXPECT_FALSE(Find<QComboBox>(d, "cmbFolder")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(d, "btnGenerateGuid")->isEnabled());
        EXPECT_TRUE(Find<QPushButton>(d, "btnCancel")->isEnabled());
        EXPECT_TRUE(Find<QPushButton>(d, "btnHelp")->isEnabled());
        EXPECT_FALSE(ClickButton(d, "btnOk"));
        Find<QTabWidget>(d, "PageControl")->setCurrentIndex(2);
        ClickButton(d, "btnHelp");
        ClickButton(d, "btnCancel");
    });
    form->action(Action::Properties)->trigger();
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{110});
    EXPECT_EQ(Bytes(Host(path)), before);
    EXPECT_EQ(fs::last_write_time(Host(path)), time);
    SetReadOnlyFile(Host(path), false);
}

TEST_F(PropertyDialogsTest, DriveOnlyFolderIsRefusedOnItsPageWithTheFieldFocused) {
    form->StartUp({Host(Sample()).string()});
    runner.Queue([this](QDialog& d) {
        auto* type = Find<QComboBox>(d, "cmbFileType");
        type->setCurrentIndex(1);
        EXPECT_FALSE(Find<QGroupBox>(d, "gbFileCreateOption")->isVisible());
        EXPECT_TRUE(Find<QGroupBox>(d, "gbFileCopyOption")->isVisible());
        EXPECT_FALSE(Find<QComboBox>(d, "cmbCompressLevel")->isVisible());
        Find<QComboBox>(d, "cmbFolder")->setEditText(QStringLiteral("C:"));
        Find<QTabWidget>(d, "PageControl")->setCurrentIndex(2);
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(ui.messages().back(), MsgProtectedOutputFolder());
        EXPECT_EQ(CurrentPage(d), QStringLiteral("tsInstallFile"));
        EXPECT_EQ(Focused(d), QStringLiteral("cmbFolder"));

        type->setCurrentIndex(3);
        Find<QTabWidget>(d, "PageControl")->setCurrentIndex(1);
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), MsgNotFullFolderPath());
        EXPECT_EQ(CurrentPage(d), QStringLiteral("tsInstallFile"));
        EXPECT_EQ(Focused(d), QStringLiteral("cmbFolder"));

        Find<QComboBox>(d, "cmbFolder")->setEditText(QStringLiteral("C:\\Out"));
        Find<QLineEdit>(d, "edtName")->clear();
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("著作権者名が入力されていません。"));
        EXPECT_EQ(CurrentPage(d), QStringLiteral("tsPublisher"));
        EXPECT_EQ(Focused(d), QStringLiteral("edtName"));

        // Ctrl+PageDown on the last page shows the first.
        QApplication::setActiveWindow(&d);
        QTest::keyClick(&d, Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(CurrentPage(d), QStringLiteral("tsInstallFile"));
        ClickButton(d, "btnCancel");
    });
    const std::string before = Bytes(Host(Sample()));
    form->action(Action::Properties)->trigger();
    EXPECT_EQ(Bytes(Host(Sample())), before) << "cancelled: nothing written";
}

TEST_F(PropertyDialogsTest, PropertiesWriteTheFrameAndTheStatusBarFollows) {
    form->StartUp({Host(Sample()).string()});
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(Find<QLineEdit>(d, "edtProjectName")->text(), Q("見本アプリ"));
        EXPECT_EQ(Find<QComboBox>(d, "cmbCompressLevel")->currentIndex(), 2);
        Find<QLineEdit>(d, "edtProjectName")->setText(Q("見本|改"));
        Find<QComboBox>(d, "cmbFileType")->setCurrentIndex(5);
        Find<QCheckBox>(d, "cbDefault")->setChecked(true);
        ClickButton(d, "btnOk");
    });
    form->action(Action::Properties)->trigger();
    const TIniDocument doc = TIniDocument::OpenWindowsPath(Sample());
    EXPECT_EQ(doc.ReadString("Project", "ProjectName"), S("見本\x02改"));
    EXPECT_EQ(doc.ReadString("Project", "CreateFileType"), "5");
    EXPECT_EQ(model().commands().project().projectName, S("見本|改"));
    EXPECT_EQ(model().state().statusPanels[2], "CAB File");
    EXPECT_EQ(env->settings().ReadNewProjectDefaults().fileType, 5);
    EXPECT_EQ(env->settings().ReadNewProjectDefaults().publisher, S("見本工房"));
}

TEST_F(PropertyDialogsTest, LanguageTextsAreWrittenOnOkAndDroppedOnCancel) {
    form->StartUp({Host(Sample()).string()});
    const auto editFirstText = [this](const char* text) {
        runner.Queue([this, text](QDialog& d) {
            EXPECT_EQ(d.objectName(), QStringLiteral("frmLanguageDialog"));
            Find<qtsupport::ItemListView>(d, "lvLanguage")->selectRowOnly(0);
            ui.QueueText(S(text));
            ClickButton(d, "btnChange");
            ClickButton(d, "btnOk");
        });
    };
    // Cancel: the publisher is missing, so the confirmation that follows the editor fails and
    // the dialog stays open until it is cancelled.
    runner.Queue([this](QDialog& d) {
        Find<QLineEdit>(d, "edtName")->clear();
        ui.QueueAnswer(Answer::Yes);  // keep the texts in the project
        ClickButton(d, "btnLangEdit");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(ui.messages().back(), S("著作権者名が入力されていません。"));
        EXPECT_TRUE(Find<QPushButton>(d, "btnUndo")->isEnabled()) << "the dialog holds texts now";
        ClickButton(d, "btnCancel");
    });
    editFirstText("取り消される文字列");
    form->action(Action::Properties)->trigger();
    EXPECT_FALSE(TIniDocument::OpenWindowsPath(Sample()).SectionExists("ResourceString_1041"));

    // OK: the editor's end confirms the dialog, which writes the texts.
    runner.Queue([this](QDialog& d) {
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnLangEdit");
        EXPECT_FALSE(d.isVisible()) << "confirmed as by OK";
    });
    editFirstText("書き込まれる文字列");
    form->action(Action::Properties)->trigger();
    const TIniDocument doc = TIniDocument::OpenWindowsPath(Sample());
    ASSERT_TRUE(doc.SectionExists("ResourceString_1041"));
    EXPECT_EQ(doc.ReadString("ResourceString_1041", "100"), S("書き込まれる文字列"));
}

TEST_F(PropertyDialogsTest, TheComposerSplitsTheNameAndGivesItBack) {
    const std::string path = SampleCopy("compose", {{"CreateFileName", "Setup_%ver_major%_%CDATE%x%%y"}});
    form->StartUp({Host(path).string()});
    runner.Queue([this](QDialog& d) { ClickButton(d, "btnCreateFileNameDetail"); });
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), Q("インストーラファイル名の指定"));
        auto* view = Find<qtsupport::ItemListView>(d, "lvFileName");
        ASSERT_EQ(view->model()->rowCount(), 6) << "the property dialog drops %%: x and y are rows of their own";
        EXPECT_EQ(view->model()->index(1, 0).data().toString(), QStringLiteral("%VER_MAJOR%"));
        EXPECT_EQ(view->model()->index(2, 1).data().toString(), QStringLiteral("_"));
        view->selectRowOnly(0);
        EXPECT_FALSE(Find<QPushButton>(d, "btnUp")->isEnabled());
        ClickButton(d, "btnDown");
        EXPECT_EQ(view->currentRowIndex(), 1);
        ClickButton(d, "btnUp");
        view->selectRowOnly(5);
        ClickButton(d, "btnEdit");
        ClickButton(d, "btnOk");
    });
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(Find<QComboBox>(d, "cmbType")->currentIndex(), 0);
        EXPECT_TRUE(Find<QLineEdit>(d, "edtValue")->isEnabled());
        Find<QComboBox>(d, "cmbType")->setCurrentIndex(6);
        Q_EMIT Find<QComboBox>(d, "cmbType")->activated(6);
        EXPECT_FALSE(Find<QLineEdit>(d, "edtValue")->isEnabled());
        ClickButton(d, "btnOk");
    });
    form->action(Action::Properties)->trigger();
    // The property dialog was left open after the composer: it is cancelled, so the field is
    // checked in the dialog's own model instead.
    EXPECT_EQ(runner.shown(), (std::vector<QString>{"frmProjectDialog", "frmCreateFileNameDialog",
                                                    "frmCreateFileNameItemDialog"}));
    EXPECT_EQ(TIniDocument::OpenWindowsPath(path).ReadString("Project", "CreateFileName"),
              "Setup_%ver_major%_%CDATE%x%%y") << "cancelled";

    // The same round trip confirmed writes the composed name.
    runner.Queue([this](QDialog& d) {
        ClickButton(d, "btnCreateFileNameDetail");
        EXPECT_EQ(Find<QLineEdit>(d, "edtFileName")->text(), QStringLiteral("Setup_%VER_MAJOR%_%CDATE%xy"));
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) { ClickButton(d, "btnOk"); });
    form->action(Action::Properties)->trigger();
    EXPECT_EQ(TIniDocument::OpenWindowsPath(path).ReadString("Project", "CreateFileName"),
              "Setup_%VER_MAJOR%_%CDATE%xy");
}

TEST_F(PropertyDialogsTest, ACreateTypeZeroBuildAsksThroughTheCreateOptionDialog) {
    const std::string path = SampleCopy("ask", {{"CreateFileType", "0"}, {"CreateFileName", "a%%b"}});
    form->StartUp({Host(path).string()});
    EXPECT_EQ(model().state().statusPanels[2], "SelectType");
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), Q("インストーラファイル作成オプション"));
        EXPECT_FALSE(Find<QLineEdit>(d, "edtFileName")->isEnabled());
        EXPECT_FALSE(Find<QLineEdit>(d, "edtInstallSource")->isEnabled());
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("作成するインストールファイルの種類を選択してください。"));
        EXPECT_EQ(Focused(d), QStringLiteral("cmbFileType"));
        Find<QComboBox>(d, "cmbFileType")->setCurrentIndex(3);
        EXPECT_TRUE(Find<QLineEdit>(d, "edtFileName")->isEnabled());
        ClickButton(d, "btnCreateFileNameDetail");
        EXPECT_EQ(Find<QLineEdit>(d, "edtFileName")->text(), QStringLiteral("a%%b")) << "%% kept here";
        Find<QComboBox>(d, "cmbFileType")->setCurrentIndex(1);
        Find<QComboBox>(d, "cmbFolder")->setEditText(Q("C:\\見本出力0"));
        Find<QCheckBox>(d, "cbDefault")->setChecked(true);
        ui.QueueAnswer(Answer::Yes);  // the copy to a folder
        ClickButton(d, "btnOk");
    });
    runner.Queue([this](QDialog& d) {
        ASSERT_EQ(Find<qtsupport::ItemListView>(d, "lvFileName")->model()->rowCount(), 3);
        ClickButton(d, "btnOk");
    });
    form->action(Action::Build)->trigger();
    EXPECT_TRUE(fs::exists(Host(S("C:\\見本出力0\\Install.exe")))) << "built as a copy to a folder";
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(doc.ReadString("Project", "CreateFileType"), "1") << "used next time";
    EXPECT_EQ(DecodeProjectText(doc.ReadString("Project", "CreateFolder")), S("C:\\見本出力0"));
    EXPECT_EQ(model().state().statusPanels[2], "CopyToFolder");
    EXPECT_EQ(env->settings().OutputFolders().front(), S("C:\\見本出力0"));
}
