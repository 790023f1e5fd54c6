// Draws every page of the uninstall, installer options and application information dialogs,
// with their item dialogs, the program wizard and the related-application dialog, into PNG
// files, opened from the main window on the sample project as a user would (scripts/screenshots
// runs it under Xvfb with a Japanese font).
// Usage: zeriru_page_screenshots <output folder>   (with $PLATFORM_ROOT a scratch prefix and
// $ZUZORUVE_SHARE the suite's data folder)
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/screenshot_tool.h"
#include "zeriru/gui/main_form.h"
#include "zeriru/gui/sample_main_window.h"
#include "zeriru/main_window_model.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QThread>

#include <cstdio>
#include <iostream>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;

namespace {

QString g_folder;
int g_count = 0;

void Save(QDialog& dialog, const char* name) {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    const QString path = g_folder + "/" + QString::fromLatin1(name) + ".png";
    if (!dialog.grab().save(path)) std::cerr << "cannot write " << path.toStdString() << '\n';
    ++g_count;
}

template <typename T>
T* Child(QDialog& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!child) std::cerr << "no " << name << " in " << dialog.objectName().toStdString() << '\n';
    return child;
}

// Shows the page `page` of the tab control `tabs` (each parent tab control first).
void Show(QDialog& dialog, const char* tabs, const char* page) {
    auto* control = Child<QTabWidget>(dialog, tabs);
    auto* widget = Child<QWidget>(dialog, page);
    if (control && widget) control->setCurrentWidget(widget);
}

// One picture per (page, name) of the dialog's main tab control.
void SavePages(QDialog& dialog, std::initializer_list<std::pair<const char*, const char*>> pages) {
    for (const auto& [page, name] : pages) {
        Show(dialog, "PageControl", page);
        Save(dialog, name);
    }
}

// The scripted runner, with the hints the dialogs give on the way closed without a script.
class PictureRunner : public qtsupport::DialogRunner {
public:
    qtsupport::ScriptedDialogRunner scripted;
    int Run(QDialog& dialog) override {
        if (dialog.objectName() == QLatin1String("frmHintDialog")) return QDialog::Rejected;
        return scripted.Run(dialog);
    }
};

void QueueUninstallShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        Child<QCheckBox>(d, "chkDeleteFile")->setChecked(true);
        Child<QCheckBox>(d, "chkDeleteRegistry")->setChecked(true);
        SavePages(d, {{"tsBasic", "uninstall_basic"}, {"tsFiles", "uninstall_files"}});
        Show(d, "pcFiles", "tsUnDeleteFile");
        Save(d, "uninstall_files_keep");
        Show(d, "PageControl", "tsRegistry");
        Save(d, "uninstall_registry");
        Show(d, "PageControl", "tsInformation");
        Child<QComboBox>(d, "cmbInfoFileMethod")->setCurrentIndex(2);
        Save(d, "uninstall_information");
        Show(d, "PageControl", "tsFiles");
        Show(d, "pcFiles", "tsDeleteFile");
        ClickButton(d, "btnDeleteFileAdd");
        Show(d, "PageControl", "tsRegistry");
        ClickButton(d, "btnDeleteRegistryAdd");
    });
    runner.Queue([](QDialog& d) { Save(d, "uninstall_file_item"); });
    runner.Queue([](QDialog& d) { Save(d, "uninstall_registry_item"); });
}

void QueueInstallerOptionShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        Child<QCheckBox>(d, "chkRelation")->setChecked(true);
        Child<QCheckBox>(d, "chkProgram")->setChecked(true);
        SavePages(d, {{"tsDetail", "installer_detail"},
                      {"tsRelation", "installer_relation"},
                      {"tsScreen", "installer_screens"},
                      {"tsProgram", "installer_programs"},
                      {"tsOs", "installer_os"}});
        for (const auto& [page, name] : {std::pair{"tsServicePack", "installer_os_service_packs"},
                                         std::pair{"tsOsOption", "installer_os_options"}}) {
            Show(d, "pcOs", page);
            Save(d, name);
        }
        SavePages(d, {{"tsLimit", "installer_limit"}, {"tsUninstaller", "installer_uninstaller"}});
        Child<QRadioButton>(d, "rbUninstallerCustom")->setChecked(true);
        Save(d, "installer_uninstaller_custom");
        Show(d, "PageControl", "tsProgram");
        ClickButton(d, "btnProgramAdd");
        Show(d, "PageControl", "tsRelation");
        ClickButton(d, "btnRelationAdd");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "program_target");
        ClickButton(d, "btnOk");
        Save(d, "program_select_file");
        ClickButton(d, "btnBack");
        Child<QRadioButton>(d, "rbOutsideFile")->setChecked(true);
        ClickButton(d, "btnOk");
        Child<QLineEdit>(d, "edtFileName")->setText(QStringLiteral("setup.exe"));
        Save(d, "program_specify_file");
        ClickButton(d, "btnOk");
        Save(d, "program_other");
        Show(d, "pcOther", "tsCondition");
        Save(d, "program_condition");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "relation_detail");
        Show(d, "PageControl", "tsOption");
        Save(d, "relation_options");
    });
}

void QueueAppInfoShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        SavePages(d, {{"tsBasic", "app_info_basic"}, {"tsInstallFolder", "app_info_folder"}});
        Child<QCheckBox>(d, "chkSameFolder")->setChecked(false);
        Save(d, "app_info_folder_per_version");
        SavePages(d, {{"tsVersionInfo", "app_info_version"}, {"tsLogo", "app_info_logo"}});
        Child<QCheckBox>(d, "chkLogoEnabled")->setChecked(true);
        Show(d, "pcLogo", "tsLogoPlace");
        Save(d, "app_info_logo_place");
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (!ScreenshotArgumentsOk(argc, "zeriru_page_screenshots")) return 2;
    QApplication app(argc, argv);
    const std::string editor = StartScreenshots(argv[1], &g_folder);
    if (editor.empty()) return 1;
    EditorEnvironment env({editor, {}, {}});
    PictureRunner pictures;
    qtsupport::ScriptedDialogRunner& runner = pictures.scripted;
    SampleMainWindow window(editor, env, pictures);
    TMainForm& form = window.form();

    QueueUninstallShots(runner);
    form.model().EditSetting(SettingEditorKind::Uninstall);
    QueueInstallerOptionShots(runner);
    form.model().EditSetting(SettingEditorKind::InstallerOption);
    QueueAppInfoShots(runner);
    form.model().EditSetting(SettingEditorKind::AppInfo);
    std::printf("%d pictures in %s\n", g_count, g_folder.toLocal8Bit().constData());
    return runner.pending() == 0 ? 0 : 1;
}
