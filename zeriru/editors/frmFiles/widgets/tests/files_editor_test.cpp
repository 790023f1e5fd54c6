// The files and folders editor the whole way, offscreen: launched from the main window's
// editor table, items added through the wizard, OK, the project file's bytes, and the project
// built to a folder with the staged files and INSTALL.DAT; the read-only view; the exchange of
// a list with another project.
#include "shell_fixture.h"

#include "qtsupport/dialog_runner.h"
#include "qtsupport/gui_test.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/frmFiles/files_help.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/frmFiles/widgets/files_dialog.h"
#include "zeriru/frmFiles/widgets/files_editor.h"
#include "zeriru/frmFiles/widgets/files_item_dialog.h"
#include "zeriru/gui/editor_windows.h"
#include "zeriru/main_window_model.h"
#include "zeriru/project_file.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QPushButton>
#include <QRadioButton>

#include <fstream>

namespace fs = std::filesystem;
using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::testing::Find;

namespace {

struct FilesEditorTest : ShellTest {
    qtsupport::ScriptedDialogRunner runner;
    QWidget window;
    std::unique_ptr<MainWindowModel> main;
    const std::string path = "C:\\p\\a.PJ2";

    void SetUp() override {
        ShellTest::SetUp();
        for (const char* name : {"DEFINE.DAT", "DEFINEPARAM.DAT"})
            fs::copy(fs::path(SUITE_SHARE_DIR) / name, Host(kEditorFolder) / name);
        MainWindowModel::Hooks hooks;
        hooks.settingEditors = [this](SettingEditorKind kind, SettingEditorContext& context) {
            return MakeSettingEditor(kind, context, runner, &window);
        };
        main = std::make_unique<MainWindowModel>(ui, *env, hooks);
        // The source folder of the folder choice: a.txt, sub\b.txt and the empty folder empty\.
        WriteFile("C:\\src\\a.txt", "alpha");
        WriteFile("C:\\src\\sub\\b.txt", "bravo!");
        fs::create_directories(Host("C:\\src\\empty"));
        WriteFile("C:\\keep.txt", "kept");
    }
    void WriteFile(const std::string& windows, const std::string& data) {
        fs::create_directories(Host(windows).parent_path());
        std::ofstream(Host(windows), std::ios::binary) << data;
    }
    void OpenProject(const std::string& items) {
        WriteProject(path, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=A\nCreateFileName=setup\n"
                           "CreateFolder=C:\\out\\a\nCreateFileType=1\nProjectType=0\nCreateFolderBeforeBackup=0\n"
                           "InstallerModuleName=ZU_VAZUZA\n[Software]\nInstallerTitle=T\nSoftName=A\nCopyright=C\n"
                           "[Files]\n" + items);
        ASSERT_TRUE(main->commands().OpenProject(path, OpenOrigin::OpenDialog));
    }
    static qtsupport::ItemListView* List(QDialog& d) { return Find<qtsupport::ItemListView>(d, "lvFiles"); }
    static std::string Dump(const std::string& record) { return FilesItemCodec().Dump(record); }
};

constexpr const char* kKept = "1|0|%InstallDir%||C:\\keep.txt|";

}  // namespace

TEST_F(FilesEditorTest, AFolderAddedThroughTheWizardReachesTheProjectFileAndTheBuiltFolder) {
    OpenProject(std::string("0=") + kKept + "\n");
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmFilesDialog"));
        EXPECT_EQ(List(d)->model()->rowCount(), 1);
        List(d)->selectRowOnly(0);
        ClickButton(d, "btnAdd");
        EXPECT_EQ(List(d)->model()->rowCount(), 4) << "a.txt, sub\\b.txt and the empty folder after the kept item";
        EXPECT_EQ(List(d)->selectedRows(), std::vector<int>{1}) << "the first new item is selected";
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        auto& dialog = dynamic_cast<TfrmFilesItemDialog&>(d);
        EXPECT_EQ(dialog.currentPage()->objectName(), QStringLiteral("tsSelect"));
        Find<QRadioButton>(d, "rbSelect1")->setChecked(true);
        ClickButton(d, "btnNext");
        ASSERT_EQ(dialog.currentPage()->objectName(), QStringLiteral("tsFolder"));
        ClickButton(d, "btnNext");  // no folder yet: the message, the page stays
        EXPECT_EQ(dialog.currentPage()->objectName(), QStringLiteral("tsFolder"));
        Find<QLineEdit>(d, "edtFolder")->setText(QStringLiteral("C:\\src"));
        Find<QCheckBox>(d, "chkEmptyFolders")->setChecked(true);
        ClickButton(d, "btnNext");
        ASSERT_EQ(dialog.currentPage()->objectName(), QStringLiteral("tsExtend"));
        EXPECT_EQ(Find<QPushButton>(d, "btnNext")->text(), QStringLiteral("完了(&F)"));
        ClickButton(d, "btnNext");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmAddPositionDialog"));
        Find<QRadioButton>(d, "rbPosition0")->setChecked(true);  // after the selected item
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::Files), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);

    // The project file: the kept record byte for byte, the new ones in order, then the switch.
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(doc.ReadString("Files", "0"), kKept);
    const std::string tail = "options=0, attributes=0, os=65535, sp=0,0,0,0,0,0, condition=0,0,HKEY_CURRENT_USER,,,,0,,,0,}";
    EXPECT_EQ(Dump(doc.ReadString("Files", "1")),
              "files{enabled=1, kind=0, define=%InstallDir%, parameter=, source=C:\\src\\a.txt, comment=, "
              "description=, " + tail);
    EXPECT_EQ(Dump(doc.ReadString("Files", "2")),
              S("files{enabled=1, kind=1, define=%InstallDir%, parameter=empty, source=, comment=フォルダの作成, "
                "description=, ") + tail);
    EXPECT_EQ(Dump(doc.ReadString("Files", "3")),
              "files{enabled=1, kind=0, define=%InstallDir%, parameter=sub, source=C:\\src\\sub\\b.txt, comment=, "
              "description=, " + tail);
    EXPECT_FALSE(doc.ValueExists("Files", "4"));
    EXPECT_EQ(doc.ReadString("FilesSetting", "ExcludeCommonComponent"), "0");

    // The build copies every file to its folder and lists the records for the installer.
    ui.QueueAnswer(Answer::Yes);  // copy to the folder
    bool succeeded = false;
    MainWindowModel::BuildView view;
    view.onFinish = [&](bool ok) { succeeded = ok; };
    ASSERT_TRUE(main->Build(view));
    EXPECT_TRUE(succeeded);
    const auto staged = [this](const char* windows) {
        std::ifstream in(Host(windows), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(staged("C:\\out\\a\\Files\\keep.txt"), "kept");
    EXPECT_EQ(staged("C:\\out\\a\\Files\\a.txt"), "alpha");
    EXPECT_EQ(staged("C:\\out\\a\\Files\\sub\\b.txt"), "bravo!");
    const TIniDocument dat = TIniDocument::OpenWindowsPath("C:\\out\\a\\INSTALL.DAT");
    struct Expected {
        const char* key;
        int kind;
        const char* parameter;
        const char* file;
    };
    for (const Expected& e : {Expected{"0", 0, "", "keep.txt"}, Expected{"1", 0, "", "a.txt"},
                              Expected{"2", 1, "empty", ""}, Expected{"3", 0, "sub", "b.txt"}}) {
        const std::string record = dat.ReadString("Files", e.key);
        EXPECT_EQ(GetItemFieldInt(record, 2, -1), e.kind) << e.key;
        EXPECT_EQ(GetItemField(record, 3), "%InstallDir%") << e.key;
        EXPECT_EQ(GetItemField(record, 4), e.parameter) << e.key;
        EXPECT_EQ(GetItemField(record, 5), e.file) << e.key;
    }
    EXPECT_FALSE(dat.ValueExists("Files", "4"));
}

TEST_F(FilesEditorTest, SeveralFileItemsEditedWithGrayedBoxesChangeOnlyWhatWasSet) {
    const std::string second = "1|0|%InstallDir%|bin|C:\\src\\a.txt|note||9|2|288|1,0,0,0,0,0|0,0,HKEY_CURRENT_USER,,,,0,,,0,";
    OpenProject(std::string("0=") + kKept + "\n1=" + second + "\n2=1|1|%InstallDir%|made||\n");
    runner.Queue([this](QDialog& d) {
        auto& dialog = dynamic_cast<TfrmFilesDialog&>(d);
        List(d)->selectAll();
        EXPECT_FALSE(dialog.action(FilesCommand::Edit)->isEnabled()) << "a folder item among the selection";
        List(d)->selectRowOnly(0);
        List(d)->selectionModel()->select(List(d)->model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ASSERT_TRUE(dialog.action(FilesCommand::Edit)->isEnabled());
        EXPECT_FALSE(dialog.action(FilesCommand::Copy)->isEnabled()) << "copy takes one item";
        ClickButton(d, "btnEdit");
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        auto* enabled = Find<QCheckBox>(d, "chkEnabled");
        EXPECT_EQ(enabled->checkState(), Qt::PartiallyChecked) << "every box starts grayed";
        EXPECT_EQ(Find<QCheckBox>(d, "chkStandardFolder")->checkState(), Qt::PartiallyChecked);
        enabled->setCheckState(Qt::Unchecked);
        EXPECT_FALSE(Find<QPushButton>(d, "btnNext")->isVisible());
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::Files), EditOutcome::Confirmed);
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(Dump(doc.ReadString("Files", "0")), Dump(std::string("0") + std::string(kKept).substr(1)))
        << "only the switch changed";
    EXPECT_EQ(Dump(doc.ReadString("Files", "1")), Dump("0" + second.substr(1))) << "only the switch changed";
    EXPECT_EQ(doc.ReadString("Files", "2"), "1|1|%InstallDir%|made||") << "not selected: byte for byte";
}

TEST_F(FilesEditorTest, AReadOnlyProjectShowsTheListAndItsItemsForViewingOnly) {
    OpenProject(std::string("0=") + kKept + "\n");
    ASSERT_TRUE(SetReadOnlyFile(Host(path), true));
    runner.Queue([this](QDialog& d) {
        auto& dialog = dynamic_cast<TfrmFilesDialog&>(d);
        EXPECT_FALSE(Find<QPushButton>(d, "btnOk")->isVisible());
        EXPECT_FALSE(dialog.action(FilesCommand::Ok)->isVisible());
        for (FilesCommand c : {FilesCommand::Add, FilesCommand::Delete, FilesCommand::Clear, FilesCommand::SelectAll,
                               FilesCommand::InvertSelection, FilesCommand::ItemCheck, FilesCommand::Import,
                               FilesCommand::Export})
            EXPECT_FALSE(dialog.action(c)->isEnabled()) << static_cast<int>(c);
        EXPECT_FALSE(Find<QPushButton>(d, "btnAdd")->isEnabled());
        List(d)->selectRowOnly(0);
        EXPECT_TRUE(dialog.action(FilesCommand::Edit)->isEnabled()) << "an item can be viewed";
        EXPECT_FALSE(dialog.action(FilesCommand::Delete)->isEnabled());
        ClickButton(d, "btnEdit");
        ClickButton(d, "btnCancel");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_FALSE(Find<QCheckBox>(d, "chkEnabled")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(d, "btnOk")->isVisible());
        EXPECT_TRUE(Find<QPushButton>(d, "btnCancel")->isEnabled());
        ClickButton(d, "btnCancel");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::Files), EditOutcome::Cancelled);
    EXPECT_EQ(runner.pending(), 0u);
    EXPECT_TRUE(ui.messages().empty()) << "nothing changed, nothing asked";
    SetReadOnlyFile(Host(path), false);
}

TEST_F(FilesEditorTest, AListExportedFromOneProjectAndImportedIntoAnotherGivesTheSameRecords) {
    const std::string items = std::string("0=") + kKept + "\n1=1|1|%InstallDir%|made||\n"
                              "2=1|2|%InstallDir%|old|gone.txt|\n";
    OpenProject(items);
    const std::string exchange = std::string(kEditorFolder) + "ExtendData\\list.qpe";
    runner.Queue([this, &exchange](QDialog& d) {
        ui.QueueFiles({exchange});
        dynamic_cast<TfrmFilesDialog&>(d).action(FilesCommand::Export)->trigger();
        ClickButton(d, "btnCancel");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::Files), EditOutcome::Cancelled);
    ASSERT_TRUE(fs::exists(Host(exchange)));

    const std::string second = "C:\\p\\b.PJ2";
    WriteProject(second, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=B\n[Files]\n0=1|3|%InstallDir%|tmp||\n");
    ASSERT_TRUE(main->commands().OpenProject(second, OpenOrigin::OpenDialog));
    runner.Queue([this, &exchange](QDialog& d) {
        ui.QueueFiles({exchange}, 1);
        ui.QueueAnswer(Answer::Yes);  // import the exchange file
        dynamic_cast<TfrmFilesDialog&>(d).action(FilesCommand::Import)->trigger();
        EXPECT_EQ(List(d)->model()->rowCount(), 4);
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::Files), EditOutcome::Confirmed);
    const TIniDocument a = TIniDocument::OpenWindowsPath(path);
    const TIniDocument b = TIniDocument::OpenWindowsPath(second);
    EXPECT_EQ(b.ReadString("Files", "0"), "1|3|%InstallDir%|tmp||");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(b.ReadString("Files", std::to_string(i + 1)), a.ReadString("Files", std::to_string(i))) << i;
}

TEST(FilesHelpPages, EveryTopicOfTheEditorHasItsPage) {
    for (int topic : files_help::kAll) {
        const fs::path page = fs::path(SUITE_SHARE_DIR) / "help" / (std::to_string(topic) + ".html");
        std::ifstream in(page, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find("<h1>"), std::string::npos) << page;
    }
}

TEST(GraphicalTreeView, ADraggedNodeDropsOntoAFolderOnlyAndNamesAreEditedInPlace) {
    GraphicalTreeModel tree("C:\\Program Files\\A");
    FileTreeNode& folder = tree.root().AddFolder("bin");
    FileTreeNode& file = tree.root().AddFile("a.txt", "C:\\src\\a.txt");
    GraphicalTreeItemModel model(tree);
    const QModelIndex root = model.index(0, 0);
    ASSERT_EQ(model.rowCount(root), 2);
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.indexOf(&file)}));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model.indexOf(&file)))
        << "onto a file";
    std::unique_ptr<QMimeData> rootDragged(model.mimeData({root}));
    EXPECT_FALSE(model.canDropMimeData(rootDragged.get(), Qt::MoveAction, -1, -1, model.indexOf(&folder)))
        << "the root stays";
    QMimeData forged;
    forged.setData("application/x-zuzoruve-file-tree-node", QByteArray::number(quintptr(0x1234)));
    EXPECT_FALSE(model.canDropMimeData(&forged, Qt::MoveAction, -1, -1, model.indexOf(&folder)))
        << "only a node of this tree";

    int changes = 0;
    QObject::connect(&model, &GraphicalTreeItemModel::treeChanged, [&] { ++changes; });
    model.dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model.indexOf(&folder));
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(folder.children.size(), 1u);
    EXPECT_EQ(folder.children.front()->source, "C:\\src\\a.txt");
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 1) << "the view follows";

    EXPECT_TRUE(model.flags(model.indexOf(&folder)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable) << "the root keeps its name";
    EXPECT_TRUE(model.setData(model.indexOf(&folder), QStringLiteral("lib"), Qt::EditRole));
    EXPECT_EQ(folder.text, "lib");
    EXPECT_FALSE(model.setData(model.indexOf(&folder), QStringLiteral("a|b"), Qt::EditRole)) << "no valid name";
    EXPECT_EQ(folder.text, "lib");
}

TEST_F(FilesEditorTest, TheListDialogsShortcutsRunTheirCommandsAndAbortShowsOnlyWhileAdding) {
    EditorData data(env->settings(), env->machine(), env->hostEditorFolder());
    EditorToolkit kit(ui, runner, &window, data);
    FilesDialogModel model(ui, data, MakeFilesSeams(kit), false, false);
    model.Load({"1|0|%InstallDir%||C:\\a.txt|", "1|1|%InstallDir%|b||", "1|0|%InstallDir%||C:\\c.txt|"});
    TfrmFilesDialog dialog(model, kit, &window);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.view()->setFocus();
    EXPECT_FALSE(Find<QPushButton>(dialog, "btnAbort")->isVisible());
    QTest::keyClick(dialog.view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(model.selection(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(dialog.view()->selectedRows(), (std::vector<int>{0, 1, 2}));
    dialog.view()->selectRowOnly(1);
    QTest::keyClick(dialog.view(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(model.selection(), (std::vector<int>{0, 2}));
    dialog.view()->selectRowOnly(2);
    QTest::keyClick(dialog.view(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(model.records().front(), "1|0|%InstallDir%||C:\\c.txt|");
    EXPECT_EQ(dialog.view()->selectedRows(), std::vector<int>{0}) << "the moved item stays selected";
    QTest::keyClick(dialog.view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(model.size(), 4);
    EXPECT_EQ(dialog.view()->selectedRows(), std::vector<int>{1}) << "the duplicate is selected";
    ui.QueueAnswer(Answer::Yes);
    QTest::keyClick(dialog.view(), Qt::Key_Delete);
    EXPECT_EQ(model.size(), 3);
    EXPECT_EQ(ui.messages().back(), S("選択項目を削除しますか。"));
    QTest::keyClick(dialog.view(), Qt::Key_X);  // other keys do nothing in the list
    EXPECT_EQ(model.size(), 3);
    EXPECT_TRUE(model.changed());

    // While items are added only "中止(&A)" works, and it stops the addition.
    runner.Queue([this](QDialog& d) {
        Find<QRadioButton>(d, "rbSelect1")->setChecked(true);
        ClickButton(d, "btnNext");
        Find<QLineEdit>(d, "edtFolder")->setText(QStringLiteral("C:\\src"));
        ClickButton(d, "btnNext");
        ClickButton(d, "btnNext");
    });
    runner.Queue([](QDialog& d) { ClickButton(d, "btnOk"); });  // the add position: after the selection
    bool abortShown = false, okEnabled = true;
    ui.onProcessMessages = [&] {
        if (!model.adding() || abortShown) return;
        abortShown = Find<QPushButton>(dialog, "btnAbort")->isVisible();
        okEnabled = dialog.okButton()->isEnabled();
        ClickButton(dialog, "btnAbort");
    };
    dialog.action(FilesCommand::Add)->trigger();
    EXPECT_TRUE(abortShown);
    EXPECT_FALSE(okEnabled);
    EXPECT_LT(model.size(), 6) << "stopped before the folder's three items were all made";
    EXPECT_FALSE(Find<QPushButton>(dialog, "btnAbort")->isVisible());
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    ui.onProcessMessages = {};
    dialog.hide();
}
