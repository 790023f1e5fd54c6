#include "zeriru/gui/editor_windows.h"

#include "platform/sjis.h"
#include "qtsupport/dialog_runner.h"
#include "zeriru/editors/widgets/app_info_dialog.h"
#include "zeriru/editors/widgets/installer_option_dialog.h"
#include "zeriru/editors/widgets/uninstall_dialogs.h"
#include "zeriru/frmFiles/widgets/files_editor.h"
#include "zeriru/gui/property_dialogs.h"
#include "zeriru/ui.h"

namespace zeriru::gui {

namespace sjis = platform::sjis;

namespace {

// Stands in for a setting editor that does not exist yet: says so and changes nothing.
class PlaceholderEditor : public SettingEditor {
public:
    PlaceholderEditor(Ui& ui, SettingEditorKind kind) : ui_(ui), kind_(kind) {}
    void Fill(const TIniDocument&, bool) override {}
    bool ShowModal() override {
        std::string name = SettingButtonLabel(kind_);
        name = name.substr(0, sjis::FindChar(name, '('));
        ui_.ShowMessage(NotYetAvailableText(name), MessageButtons::Ok, MessageIcon::Information);
        return false;
    }
    void Write(TIniDocument&) override {}

private:
    Ui& ui_;
    SettingEditorKind kind_;
};

}  // namespace

std::string NotYetAvailableText(std::string_view windowName) {
    return sjis::S("「") + std::string(windowName) + sjis::S("」の画面はこのバージョンにはまだありません。今後のバージョンで追加されます。");
}

std::unique_ptr<SettingEditor> MakeSettingEditor(SettingEditorKind kind, SettingEditorContext& context,
                                                 qtsupport::DialogRunner& runner, QWidget* parent) {
    // Each setting editor's unit adds its dialog here, one case per kind, e.g.
    //   case SettingEditorKind::Files: return std::make_unique<FilesEditor>(context, runner, parent);
    // Until an editor exists, the placeholder stands in for it.
    switch (kind) {
    case SettingEditorKind::Files: return std::make_unique<FilesEditor>(context, runner, parent);
    case SettingEditorKind::AppInfo:
        return MakeAppInfoEditor(context, runner, parent);
    case SettingEditorKind::Uninstall:
        return MakeUninstallEditor(context, runner, parent);
    case SettingEditorKind::InstallerOption:
        return MakeInstallerOptionEditor(context, runner, parent);
    default: return std::make_unique<PlaceholderEditor>(context.ui, kind);
    }
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
