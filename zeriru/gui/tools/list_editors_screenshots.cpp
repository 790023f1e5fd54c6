// Draws the dialogs of the shortcut, registry and INI file editors into PNG files, opened from
// the main window on the sample project as a user would (scripts/screenshots runs it under
// Xvfb with a Japanese font).
// Usage: zeriru_list_screenshots <output folder>   (with $PLATFORM_ROOT a scratch prefix and
// $ZUZORUVE_SHARE the suite's data folder)
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/item_list.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/screenshot_tool.h"
#include "zeriru/gui/main_form.h"
#include "zeriru/gui/sample_main_window.h"
#include "zeriru/main_window_model.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>

#include <cstdio>
#include <iostream>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
namespace reg = platform::registry;

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

void Page(QDialog& dialog, int page) { dialog.findChild<QTabWidget*>("PageControl")->setCurrentIndex(page); }

template <typename T>
T* Child(QDialog& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

// Edit on the first row of the list `view`.
void EditFirstRow(QDialog& dialog, const char* view) {
    Child<qtsupport::ItemListView>(dialog, view)->selectRowOnly(0);
    ClickButton(dialog, "btnEdit");
}

void QueueShortCutShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        Save(d, "shortcut_list");
        Page(d, 1);
        Save(d, "shortcut_options");
        Page(d, 0);
        EditFirstRow(d, "lvShortCut");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "shortcut_item");
        Page(d, 1);
        Save(d, "shortcut_item_other");
        Page(d, 0);
        ClickButton(d, "btnBrowse");
        Page(d, 1);
        ClickButton(d, "btnIconBrowse");
        Child<QCheckBox>(d, "chkInternetLink")->setChecked(true);
        Page(d, 0);
        Save(d, "shortcut_item_internet_link");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "shortcut_target_wizard");
        ClickButton(d, "btnNext");
        Save(d, "shortcut_target_wizard_files");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "shortcut_icon_wizard");
        ClickButton(d, "rbSource1");  // a file outside the project
        ClickButton(d, "btnNext");
        Save(d, "shortcut_icon_wizard_outside");
    });
}

void QueueRegistryShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        Save(d, "registry_list");
        EditFirstRow(d, "lvRegistry");
        ClickButton(d, "btnAdd");
        d.findChild<QAction*>("actImport")->trigger();
    });
    runner.Queue([](QDialog& d) {
        Save(d, "registry_item");
        Page(d, 1);
        Save(d, "registry_item_other");
    });
    runner.Queue([](QDialog& d) {
        Child<QComboBox>(d, "cmbValueType")->setCurrentIndex(3);
        auto* grid = Child<QTableWidget>(d, "grdBinary");
        const char* bytes[] = {"0A", "FF", "00", "7C"};
        for (int i = 0; i < 4; ++i) grid->setItem(0, i, new QTableWidgetItem(QString::fromLatin1(bytes[i])));
        Save(d, "registry_item_binary");
    });
    runner.Queue([](QDialog& d) {
        Child<QLineEdit>(d, "edtKey")->setText(QStringLiteral("Software\\Vendor\\App"));
        Save(d, "registry_import");
        ClickButton(d, "btnBrowse");
    });
    runner.Queue([](QDialog& d) { Save(d, "registry_key_browser"); });
}

void QueueIniShots(qtsupport::ScriptedDialogRunner& runner) {
    runner.Queue([](QDialog& d) {
        Save(d, "ini_list");
        EditFirstRow(d, "lvIniFile");
        ClickButton(d, "btnAdd");
    });
    runner.Queue([](QDialog& d) {
        Save(d, "ini_item");
        Page(d, 1);
        Save(d, "ini_item_condition");
    });
    runner.Queue([](QDialog& d) {
        Child<QComboBox>(d, "cmbProcess")->setCurrentIndex(2);
        Save(d, "ini_item_delete_section");
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (!ScreenshotArgumentsOk(argc, "zeriru_list_screenshots")) return 2;
    QApplication app(argc, argv);
    const std::string editor = StartScreenshots(argv[1], &g_folder);
    if (editor.empty()) return 1;
    EditorEnvironment env({editor, {}, {}});
    const std::string key = "Software\\Vendor\\App";
    env.registry().SetValue(reg::Root::CurrentUser, key, "InstallDir", reg::Value::String("C:\\Program Files\\App"));
    env.registry().SetValue(reg::Root::CurrentUser, key, "Path", reg::Value::ExpandString("%TEMP%\\App"));
    env.registry().SetValue(reg::Root::CurrentUser, key, "Count", reg::Value::Dword(12));
    env.registry().SetValue(reg::Root::CurrentUser, key, "Data", reg::Value::Binary(std::string("\x0a\xff", 2)));
    qtsupport::ScriptedDialogRunner runner;
    SampleMainWindow window(editor, env, runner);
    TMainForm& form = window.form();

    QueueShortCutShots(runner);
    form.model().EditSetting(SettingEditorKind::ShortCut);
    QueueRegistryShots(runner);
    form.model().EditSetting(SettingEditorKind::Registry);
    QueueIniShots(runner);
    form.model().EditSetting(SettingEditorKind::IniFile);
    std::printf("%d pictures in %s\n", g_count, g_folder.toLocal8Bit().constData());
    return runner.pending() == 0 ? 0 : 1;
}
