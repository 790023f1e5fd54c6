// The windows the main window opens that other units of the editor provide: the seven setting
// editors (files, shortcuts, registry, ...) and the project property dialogs (the property
// dialog in both forms, the create options of a build). The main window takes them from an
// EditorWindows value; DefaultEditorWindows() holds what exists today.
//
// A setting editor plugs in by implementing zeriru::SettingEditor (setting_editor.h): Fill from
// the project, ShowModal through the dialog runner it is given, Write its sections. Its case in
// MakeSettingEditor (editor_windows.cpp) then returns it instead of the placeholder, which only
// says that the editor comes with a later version and changes nothing.
#pragma once

#include "zeriru/build_installer.h"
#include "zeriru/project_commands.h"
#include "zeriru/project_properties.h"
#include "zeriru/setting_editor.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

struct EditorWindows {
    SettingEditorFactory settingEditors;
    // The project property dialog (both forms) and the create-option dialog over their models;
    // true when closed with OK.
    std::function<bool(ProjectPropertiesDialogModel&)> propertiesDialog;
    std::function<bool(CreateOptionDialogModel&)> createOptionDialog;
};

// The editor's windows, shown over `parent` through `runner`.
EditorWindows DefaultEditorWindows(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent);

// One setting editor for one run; `runner` and `parent` show its dialog.
std::unique_ptr<SettingEditor> MakeSettingEditor(SettingEditorKind kind, SettingEditorContext& context,
                                                 qtsupport::DialogRunner& runner, QWidget* parent);

}  // namespace zeriru::gui
