// Draws the dialogs of the files and folders editor into PNG files, for people to look at
// (scripts/screenshots runs it under Xvfb with a Japanese font): the list dialog with a few
// hundred items, every page of the item wizard, the page sets of an item and of several items,
// and the small dialogs.
// Usage: files_screenshots <output folder>   (with $PLATFORM_ROOT a scratch prefix and
// $ZUZORUVE_SHARE the suite's data folder)
#include "platform/shell.h"
#include "platform/sjis.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/screenshot_tool.h"
#include "zeriru/editor_environment.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/frmFiles/widgets/files_dialog.h"
#include "zeriru/frmFiles/widgets/files_editor.h"
#include "zeriru/frmFiles/widgets/files_item_dialog.h"
#include "zeriru/frmFiles/widgets/files_small_views.h"
#include "zeriru/ui.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QThread>
#include <QTreeView>

#include <iostream>

using namespace zeriru;
using namespace zeriru::gui;
using platform::sjis::S;
using Page = FilesItemDialogModel::Page;

namespace {

QString g_folder;
int g_count = 0;

void Save(QWidget& widget, const std::string& name) {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    const QString path = g_folder + "/" + QString::fromStdString(name) + ".png";
    if (!widget.window()->grab().save(path)) std::cerr << "cannot write " << path.toStdString() << '\n';
    ++g_count;
}

void Shot(QDialog& dialog, const std::string& name) {
    dialog.show();
    Save(dialog, name);
    dialog.hide();
}

// A few hundred items of every kind, as a long project holds them.
std::vector<std::string> ManyItems(const std::string& sampleFolder) {
    std::vector<std::string> records;
    const char* tail = "|0|0|65535|0,0,0,0,0,0|0,0,HKEY_CURRENT_USER,,,,0,,,0,";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 6) {
        case 0: records.push_back("1|0|%InstallDir%|bin|" + sampleFolder + "\\file" + n + ".dll|" + S("本体") + "||2" + tail); break;
        case 1: records.push_back("1|0|%InstallDir%|doc\\" + n + "|" + sampleFolder + "\\readme" + n + ".txt|||0" + tail); break;
        case 2: records.push_back("1|1|%InstallDir%|data" + n + "||" + S("フォルダの作成") + "||0" + tail); break;
        case 3: records.push_back("1|2|%InstallDir%|old||old" + n + ".tmp|||0" + tail); break;
        case 4: records.push_back("0|4|%InstallDir%|cache" + n + "|||||0" + tail); break;
        default: records.push_back("1|0|%SystemDirectory%||" + sampleFolder + "\\lib" + n + ".ocx|||6" + tail); break;
        }
    }
    return records;
}

void ListDialogs(EditorToolkit& kit, const std::string& sampleFolder) {
    FilesDialogModel model(kit.ui(), kit.data(), MakeFilesSeams(kit), false, false);
    model.Load(ManyItems(sampleFolder));
    model.SetSelection({3, 4, 5}, 3);
    TfrmFilesDialog dialog(model, kit, kit.parent());
    dialog.resize(820, 520);
    Shot(dialog, "files_list_dialog");
    FilesDialogModel readOnly(kit.ui(), kit.data(), MakeFilesSeams(kit), true, false);
    readOnly.Load(ManyItems(sampleFolder));
    TfrmFilesDialog viewer(readOnly, kit, kit.parent());
    viewer.resize(820, 520);
    Shot(viewer, "files_list_dialog_read_only");
}

// The wizard on the page of each choice, then its 拡張オプション with every tab.
void WizardPages(FilesDialogModel& list, EditorToolkit& kit, const std::string& sampleFolder) {
    const std::vector<std::pair<int, const char*>> choices = {
        {FilesItemDialogModel::kChoiceFiles, "files"},       {FilesItemDialogModel::kChoiceFolder, "folder"},
        {FilesItemDialogModel::kChoiceDelete, "delete"},     {FilesItemDialogModel::kChoiceCreate, "create"},
        {FilesItemDialogModel::kChoiceGraphical, "graphical"}, {FilesItemDialogModel::kChoiceComponent, "component"}};
    for (const auto& [choice, name] : choices) {
        FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(list.ItemEnvironment());
        model.choice = choice;
        model.files = {sampleFolder + S("\\見本.exe"), sampleFolder + S("\\設定.ini")};
        model.folderPage.folder = sampleFolder;
        model.createPage.parameter = "data";
        model.deletePage.fileName = "old.tmp";
        model.componentPage.fileName = "C:\\parts\\common.qinc";
        model.componentPage.name = S("共通部品");
        if (choice == FilesItemDialogModel::kChoiceGraphical) {
            GraphicalTreeModel& tree = model.graphicalPage.tree;
            tree.AddFolder(nullptr, sampleFolder, FolderScanOptions{});
            tree.NewFolder(nullptr);
        }
        TfrmFilesItemDialog dialog(model, kit, kit.parent());
        if (choice == FilesItemDialogModel::kChoiceFiles) Shot(dialog, "files_item_wizard_select");
        dialog.Next();
        if (choice == FilesItemDialogModel::kChoiceGraphical) dialog.treeView()->expandAll();
        Shot(dialog, std::string("files_item_wizard_") + name);
        if (choice != FilesItemDialogModel::kChoiceFiles && choice != FilesItemDialogModel::kChoiceFolder) continue;
        dialog.Next();
        auto* tabs = dialog.findChild<QTabWidget*>("pcExtend");
        for (int tab = 0; tab < (tabs ? tabs->count() : 1); ++tab) {
            if (tabs) tabs->setCurrentIndex(tab);
            Shot(dialog, std::string("files_item_wizard_") + name + "_extend" + std::to_string(tab));
        }
    }
}

void EditPages(FilesDialogModel& list, EditorToolkit& kit) {
    const std::vector<std::string>& records = list.records();
    for (const auto& [row, name] : std::vector<std::pair<int, const char*>>{{0, "file"}, {2, "folder"}, {3, "delete"}}) {
        FilesItemDialogModel model = FilesItemDialogModel::ForItem(list.ItemEnvironment(), records[static_cast<std::size_t>(row)]);
        TfrmFilesItemDialog dialog(model, kit, kit.parent());
        Shot(dialog, std::string("files_item_edit_") + name);
    }
    FilesItemDialogModel several = FilesItemDialogModel::ForItems(list.ItemEnvironment(), {records[0], records[1]});
    TfrmFilesItemDialog dialog(several, kit, kit.parent());
    Shot(dialog, "files_item_edit_several");
}

void SmallDialogs(FilesDialogModel& list, EditorToolkit& kit, const std::string& sampleFolder) {
    FolderSelectDialogModel folder(kit.data().settings().store());
    folder.folder = sampleFolder;
    TfrmFolderSelectDialog folderDialog(folder, kit.ui(), kit.parent());
    Shot(folderDialog, "files_folder_select_dialog");
    AddPositionDialogModel position(true);
    TfrmAddPositionDialog positionDialog(position, kit.ui(), kit.parent());
    Shot(positionDialog, "files_add_position_dialog");
    KindConversionDialogModel kind(0);
    TfrmKindConversionDialog kindDialog(kind, kit.ui(), kit.parent());
    Shot(kindDialog, "files_kind_conversion_dialog");
    FileCheckServices services;
    services.expandInstallPath = [&kit](std::string_view text) { return kit.data().ExpandInstallPath(text); };
    services.fileExists = [](std::string_view) { return false; };
    std::vector<FileProblem> problems = FindFileProblems(list.records(), services);
    if (problems.size() > 12) problems.resize(12);
    FileCheckDialogModel check(problems);
    TfrmFileCheckDialog checkDialog(check, kit, kit.parent());
    Shot(checkDialog, "files_file_check_dialog");
    if (!problems.empty()) {
        CorrectionDialogModel correction(problems.front());
        TfrmCorrectionDialog correctionDialog(correction, kit, kit.parent());
        Shot(correctionDialog, "files_correction_dialog");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!ScreenshotArgumentsOk(argc, "files_screenshots")) return 2;
    QApplication app(argc, argv);
    const std::string editor = StartScreenshots(argv[1], &g_folder);
    if (editor.empty()) return 1;
    EditorEnvironment env({editor, {}, {}});
    ScriptedUi ui;  // the pictures need no answers
    qtsupport::ScriptedDialogRunner runner;
    QWidget window;
    const std::string sampleFolder = editor + S("samples\\見本アプリ\\ファイル");
    EditorData data(env.settings(), env.machine(), env.hostEditorFolder());
    const TIniDocument project = TIniDocument::OpenWindowsPath(editor + S("samples\\見本アプリ\\見本アプリ.PJ2"));
    data.SetProject(&project);
    EditorToolkit kit(ui, runner, &window, data);

    ListDialogs(kit, sampleFolder);
    FilesDialogModel list(ui, data, MakeFilesSeams(kit), false, false);
    list.Load(ManyItems(sampleFolder));
    WizardPages(list, kit, sampleFolder);
    EditPages(list, kit);
    SmallDialogs(list, kit, sampleFolder);
    std::cout << g_count << " pictures in " << g_folder.toStdString() << '\n';
    return 0;
}
