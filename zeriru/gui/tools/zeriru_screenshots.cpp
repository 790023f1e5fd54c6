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
#include "zeriru/gui/dialogs.h"
#include "zeriru/gui/main_form.h"
#include "zeriru/gui/qt_ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTabWidget>
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: zeriru_screenshots <output folder>\n"
                     "example: PLATFORM_ROOT=/tmp/p ZUZORUVE_SHARE=build/share/zuzoruve zeriru_screenshots shots\n";
        return 2;
    }
    QApplication app(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    qtsupport::UseJapaneseFont();
    QDir().mkpath(g_folder);
    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << error << '\n';
        return 1;
    }
    const std::string editor = ProvisionEditorFolder(platform::shell::SuiteShareFolder(), {}, &error);
    if (editor.empty()) {
        std::cerr << error << '\n';
        return 1;
    }
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
    std::printf("%d pictures in %s\n", g_count, g_folder.toLocal8Bit().constData());
    return 0;
}
