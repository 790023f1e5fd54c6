#include "zeriru/gui/editor_windows.h"

#include "qtsupport/dialog_runner.h"
#include "zeriru/editors/widgets/app_info_dialog.h"
#include "zeriru/editors/widgets/ini_dialogs.h"
#include "zeriru/editors/widgets/installer_option_dialog.h"
#include "zeriru/editors/widgets/registry_dialogs.h"
#include "zeriru/editors/widgets/shortcut_dialogs.h"
#include "zeriru/editors/widgets/uninstall_dialogs.h"
#include "zeriru/frmFiles/widgets/files_editor.h"
#include "zeriru/gui/property_dialogs.h"
#include "zeriru/ui.h"

namespace zeriru::gui {

std::unique_ptr<SettingEditor> MakeSettingEditor(SettingEditorKind kind, SettingEditorContext& context,
                                                 qtsupport::DialogRunner& runner, QWidget* parent) {
    switch (kind) {
    case SettingEditorKind::Files: return std::make_unique<FilesEditor>(context, runner, parent);
    case SettingEditorKind::ShortCut: return MakeShortCutEditor(context, runner, parent);
    case SettingEditorKind::Registry: return MakeRegistryEditor(context, runner, parent);
    case SettingEditorKind::IniFile: return MakeIniFileEditor(context, runner, parent);
    case SettingEditorKind::AppInfo: return MakeAppInfoEditor(context, runner, parent);
    case SettingEditorKind::Uninstall: return MakeUninstallEditor(context, runner, parent);
    case SettingEditorKind::InstallerOption: return MakeInstallerOptionEditor(context, runner, parent);
    }
    return nullptr;  // not a kind of editor
}

EditorWindows DefaultEditorWindows(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent) {
    EditorWindows windows;
    windows.settingEditors = [&runner, parent](SettingEditorKind kind, SettingEditorContext& context) {
        return MakeSettingEditor(kind, context, runner, parent);
    };
    windows.propertiesDialog = [&ui, &runner, parent](ProjectPropertiesDialogModel& model) {
        TfrmProjectDialog dialog(model, ui, runner, parent);
        return runner.Run(dialog) == QDialog::Accepted;
    };
    windows.createOptionDialog = [&ui, &runner, parent](CreateOptionDialogModel& model) {
        TfrmCreateOptionDialog dialog(model, ui, runner, parent);
        return runner.Run(dialog) == QDialog::Accepted;
    };
    return windows;
}

}  // namespace zeriru::gui
