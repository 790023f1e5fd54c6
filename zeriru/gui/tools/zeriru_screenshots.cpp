// Draws every window and dialog of the editor's main window into PNG files, for people to
// look at (scripts/screenshots runs it under Xvfb with a Japanese font).
// Usage: zeriru_screenshots <output folder>   (with $PLATFORM_ROOT a scratch prefix and
// $ZUZORUVE_SHARE the suite's data folder)
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/screenshot_tool.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/shared_dialogs.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/file_services.h"
#include "zeriru/gui/dialogs.h"
#include "zeriru/gui/main_form.h"
#include "zeriru/gui/property_dialogs.h"
#include "zeriru/gui/qt_ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;
using namespace zeriru;
using namespace zeriru::gui;

namespace {

QString g_folder;
int g_count = 0;

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void Save(QWidget& widget, const char* name) {
    Settle();
    const QString path = g_folder + "/" + QString::fromLatin1(name) + ".png";
    if (!widget.window()->grab().save(path)) std::cerr << "cannot write " << path.toStdString() << '\n';
    ++g_count;
}

// Shows a dialog without its own loop, saves it, closes it.
void Shot(QDialog& dialog, const char* name, const std::function<void(QDialog&)>& prepare = {}) {
    dialog.show();
    if (prepare) prepare(dialog);
    dialog.adjustSize();
    Save(dialog, name);
    dialog.hide();
}

// The dialogs of the project properties: both forms of the property dialog on each page and
// create type, read-only, the create-option dialog and the output name composer.
void PropertyDialogs(EditorEnvironment& env, ScriptedUi& ui, qtsupport::DialogRunner& runner, QWidget& form,
                     const std::string& sample) {
    ProjectPropertiesDialogModel::Services services{ui, env.settings(), env.machine(), env.modules(),
                                                    env.hostEditorFolder(), {}, {}};
    {
        ProjectProperties initial;
        const NewProjectDefaults d = env.settings().ReadNewProjectDefaults();
        initial.createFolder = d.folder;
        initial.moduleName = env.modules().front().moduleName;
        initial.outputFolders = env.settings().OutputFolders();
        ProjectPropertiesDialogModel model(services, initial);
        TfrmProjectDialog dialog(model, ui, runner, &form);
        Shot(dialog, "project_new");
    }
    const TIniDocument project = TIniDocument::OpenWindowsPath(sample);
    const TProjectInfo info = ReadProjectInfo(project, false);
    {
        ProjectPropertiesDialogModel model(services, project, info, false);
        TfrmProjectDialog dialog(model, ui, runner, &form);
        const char* names[] = {"project_install_file", "project_module", "project_publisher"};
        for (int page = 0; page < 3; ++page)
            Shot(dialog, names[page], [page](QDialog& d) { d.findChild<QTabWidget*>("PageControl")->setCurrentIndex(page); });
        Shot(dialog, "project_copy_to_folder", [](QDialog& d) {
            d.findChild<QTabWidget*>("PageControl")->setCurrentIndex(0);
            d.findChild<QComboBox*>("cmbFileType")->setCurrentIndex(1);
        });
        Shot(dialog, "project_choose_at_build", [](QDialog& d) { d.findChild<QComboBox*>("cmbFileType")->setCurrentIndex(0); });
    }
    {
        ProjectPropertiesDialogModel model(services, project, info, true);
        TfrmProjectDialog dialog(model, ui, runner, &form);
        Shot(dialog, "project_read_only");
    }
    {
        CreateOptionChoice initial{info.createFolder, info.createFileName, info.installSource, 0, false};
        CreateOptionDialogModel model(initial, false, env.settings(), env.machine());
        TfrmCreateOptionDialog dialog(model, ui, runner, &form);
        Shot(dialog, "create_option_dialog");
        Shot(dialog, "create_option_dialog_archive",
             [](QDialog& d) { d.findChild<QComboBox*>("cmbFileType")->setCurrentIndex(4); });
    }
    {
        CreateFileNameDialogModel model("Setup_%ver_major%_%CDATE%", false, false);
        TfrmCreateFileNameDialog dialog(model, ui, runner, &form);
        Shot(dialog, "create_file_name_dialog");
        CreateFileNameItemDialogModel item(OutputNameRow{"%CDATE%", "%CDATE%"});
        TfrmCreateFileNameItemDialog itemDialog(item, ui, &form);
        Shot(itemDialog, "create_file_name_item_dialog");
    }
}

// The shared dialogs of the setting editors and the condition editor.
void SharedDialogs(EditorEnvironment& env, ScriptedUi& ui, qtsupport::DialogRunner& runner, QWidget& form,
                   const std::string& sample) {
    EditorData data(env.settings(), env.machine(), env.hostEditorFolder());
    const TIniDocument project = TIniDocument::OpenWindowsPath(sample);
    data.SetProject(&project);
    EditorToolkit kit(ui, runner, &form, data);
    {
        OsDialogModel model(OsTarget{288, {0, 0, 2, 0, 0, 1}}, 0x1F0, false);
        TfrmOSDialog dialog(model, &form);
        Shot(dialog, "os_dialog");
        Shot(dialog, "os_dialog_service_packs", [](QDialog& d) { d.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1); });
        OsDialogModel several(OsTarget{}, 65535, true);
        TfrmOSDialog severalDialog(several, &form);
        Shot(severalDialog, "os_dialog_several_items");
    }
    {
        FileSelectDialogModel model(ReadInstalledFiles(project), platform::sjis::S("実行ファイルを指定してください。"),
                                    platform::sjis::S("実行ファイル"), ".EXE;.COM");
        TfrmFileSelectDialog dialog(model, ui, &form);
        Shot(dialog, "file_select_dialog", [](QDialog& d) { d.findChild<QListWidget*>("lstFiles")->setCurrentRow(0); });
    }
    {
        DefineBuilderDialogModel model(data.defineCategories(), data.defineParams(), kMaskAny, "%InstallDir%\\bin");
        TfrmDefineBuilderDialog dialog(model, kit, &form);
        Shot(dialog, "define_builder_dialog", [](QDialog& d) {
            d.findChild<QListWidget*>("lstCategory")->setCurrentRow(5);
            d.findChild<QListWidget*>("lstDefine")->setCurrentRow(0);
        });
    }
    {
        std::optional<DefineParamDialogModel> model =
            OpenDefineParameters(ui, data.defineParams(), "%Registry%", "HKEY_LOCAL_MACHINE,Software\\Zuzoruve,Path",
                                 DefineParamDialogModel::Origin::SettingEditor);
        if (model) {
            TfrmDefineParamDialog dialog(*model, kit, &form);
            Shot(dialog, "define_param_dialog");
        }
    }
    {
        TEditorDialogFrame dialog(ui, "frmCondition", QString::fromUtf8("条件の指定"), &form);
        auto* editor = new TConditionEditor(kit, {"%InstallDir%", "%WindowsDirectory%", "%AbsoluteDir%"},
                                            data.DefineList("DFNLIST_FILESITEM"));
        dialog.body()->addWidget(editor);
        const struct {
            int type;
            const char* name;
        } shots[] = {{kConditionValueEquals, "condition_registry"}, {kConditionFileExists, "condition_file"},
                     {kConditionIniValueEquals, "condition_ini"}};
        for (const auto& shot : shots) {
            ConditionRecord record;
            record.timing = kConditionInstall;
            record.type = shot.type;
            editor->Load(record);
            Shot(dialog, shot.name);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!ScreenshotArgumentsOk(argc, "zeriru_screenshots")) return 2;
    QApplication app(argc, argv);
    const std::string editor = StartScreenshots(argv[1], &g_folder);
    if (editor.empty()) return 1;
    EditorEnvironment env({editor, {}, {}});
    ScriptedUi ui;  // the pictures need no answers
    ui.onProcessMessages = [] { QApplication::processEvents(); };
    qtsupport::ScriptedDialogRunner runner;
    TMainForm::Seams seams;
    seams.ui = &ui;
    seams.runner = &runner;
    seams.environment = &env;
    seams.openUrl = [](const std::string&) { return true; };
    TMainForm form(seams);
    form.show();
    Save(form, "main_window_empty");
    const std::string sample = editor + platform::sjis::S("samples\\見本アプリ\\見本アプリ.PJ2");
    form.StartUp({platform::winpath::ToHostPath(sample)->string()});
    Save(form, "main_window");
    form.action(Action::Build)->trigger();
    form.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    Save(form, "main_window_messages");
    form.findChild<QTabWidget*>("PageControl")->setCurrentIndex(0);

    for (int i : {0, 1}) {
        HintDialogModel hint;
        hint.index = i;
        hint.text = HintText(i);
        hint.allowSuppress = true;
        THintDialog dialog(hint, &form);
        Shot(dialog, i == 0 ? "hint_dialog_0" : "hint_dialog_1");
    }
    {
        TAboutDialog dialog({}, &form);
        Shot(dialog, "about_dialog");
    }
    {
        EditorOptions options = env.settings().ReadOptions();
        options.mode = 1;
        env.settings().WriteOptions(options);
        OptionsDialogModel model(env.settings());
        TfrmConfigDialog dialog(model, ui, &form);
        const char* names[] = {"options_basic", "options_install_file", "options_system", "options_auto_update"};
        for (int page = 0; page < OptionsDialogModel::kPageCount; ++page)
            Shot(dialog, names[page], [page](QDialog& d) { d.findChild<QTabWidget*>("PageControl")->setCurrentIndex(page); });
    }
    {
        ProtectProjectDialogModel model;
        model.protect = true;
        model.password = "secret";
        TProtectDialog dialog(model, &form);
        Shot(dialog, "protect_dialog");
    }
    {
        InitializeProjectDialogModel model;
        model.checked[1] = true;
        TInitializeDialog dialog(model, ui, &form);
        Shot(dialog, "initialize_dialog");
    }
    {
        const TIniDocument lng(env.hostEditorFolder() / "Module" / "ZU_VAZUZA.LNG");
        LanguageTextList list;
        for (int id = kFirstEditableLanguageText; id <= kLastLanguageText; ++id) {
            std::string text = lng.ReadString("ResourceString_1041", std::to_string(id));
            if (!text.empty()) list.texts.push_back({id, text});
        }
        LanguageTextsDialogModel model(list);
        TLanguageDialog dialog(model, ui, &form);
        dialog.show();
        Save(dialog, "language_texts_dialog");
        dialog.hide();
    }
    {
        TIniDocument project = TIniDocument::OpenWindowsPath(sample);
        project.WriteBool("Installer", "EnableInstallProcessOrderSetting", true);
        ProcessOrderDialogModel model(project, TIniDocument(env.EditorDataFile()), false);
        TProcessOrderDialog dialog(model, ui, &form);
        dialog.show();
        Save(dialog, "process_order_install");
        dialog.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
        Save(dialog, "process_order_uninstall");
        dialog.hide();
    }
    {
        // A message box as the Qt Ui shows them, with Japanese buttons.
        QMessageBox box(QMessageBox::Question, QStringLiteral("Raredovo"),
                        qtsupport::ToDisplayText(CopyToFolderQuestion(platform::sjis::S("C:\\見本出力"))),
                        QMessageBox::Yes | QMessageBox::No, &form);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        box.addButton(QStringLiteral("ヘルプ(&H)"), QMessageBox::HelpRole);
        box.show();
        Save(box, "message_box");
        box.hide();
    }
    PropertyDialogs(env, ui, runner, form, sample);
    SharedDialogs(env, ui, runner, form, sample);
    std::printf("%d pictures in %s\n", g_count, g_folder.toLocal8Bit().constData());
    return 0;
}
