// How the main window runs the seven setting editors. Each editor owns its sections of the
// project file; the main window does the rest, the same way for all seven:
//
//   1. open the project file (it is read afresh: nothing of the project is kept in memory);
//   2. with hints held back, let the editor fill its dialog from the file (Fill);
//   3. let hints through and show the dialog modally (ShowModal; hints the user triggers
//      now are shown);
//   4. after OK, unless the project is read-only: the editor writes its sections (Write),
//      the file is saved, the editor's setting button gets the mark "×" and the project's
//      status is saved (SaveProjectStatus).
//
// A read-only project opens the dialog for viewing only: step 4 does not run. Cancel changes
// nothing. An editor is made for one run by a SettingEditorFactory (the window's table of
// editors) and gets what it needs through SettingEditorContext.
#pragma once

#include "zeriru/hint_dialog.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_commands.h"

#include <functional>
#include <memory>
#include <string>

namespace zeriru {

class Ui;
class EditorEnvironment;

// The seven settings, in the order of the main window's buttons and of [ButtonStatus] "1".."7".
enum class SettingEditorKind { AppInfo = 0, Files, ShortCut, Registry, IniFile, Uninstall, InstallerOption };
inline constexpr int kSettingEditorCount = 7;

// The button's label on the settings page, e.g. "アプリケーション情報の設定(&A)" (Shift-JIS).
std::string SettingButtonLabel(SettingEditorKind kind);
// The menu entry of the "処理(&R)" menu, e.g. "アプリケーション情報の設定(&I)".
std::string SettingMenuCaption(SettingEditorKind kind);
// The component names of the button, e.g. "btnAppInfo".
const char* SettingButtonName(SettingEditorKind kind);

class SettingEditor {
public:
    virtual ~SettingEditor() = default;
    // Fills the dialog from the project; with `readOnly` every control is for viewing only.
    virtual void Fill(const TIniDocument& project, bool readOnly) = 0;
    // Shows the dialog modally; true when it was closed with OK.
    virtual bool ShowModal() = 0;
    // Writes the editor's sections; called only after OK on a project that is not read-only.
    virtual void Write(TIniDocument& project) = 0;
};

// What an editor may use while it runs.
struct SettingEditorContext {
    Ui& ui;
    EditorEnvironment& environment;
    // The open project's frame (path, name, output folder, install source, type).
    const TProjectInfo& project;
    // The hint dialog (index, allow suppress).
    std::function<void(int index, bool allowSuppress)> showHint;
};

using SettingEditorFactory =
    std::function<std::unique_ptr<SettingEditor>(SettingEditorKind, SettingEditorContext&)>;

enum class EditOutcome {
    Confirmed,  // written, saved, marked
    Viewed,     // read-only project: shown, nothing written
    Cancelled,
    Failed,     // no project, or the file could not be read or saved (a message was shown)
};

// Steps 1-4 above for one editor.
EditOutcome RunSettingEditor(SettingEditorKind kind, SettingEditor& editor, ProjectCommands& commands,
                             HintGate& hints, Ui& ui);

}  // namespace zeriru
