#include "zeriru/setting_editor.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

struct SettingTexts {
    const char* name;
    const char* label;
    const char* menu;
};

const SettingTexts& Texts(SettingEditorKind kind) {
    static const SettingTexts kTexts[kSettingEditorCount] = {
        {"btnAppInfo", "アプリケーション情報の設定(&A)", "アプリケーション情報の設定(&I)"},
        {"btnFiles", "ファイル/フォルダの設定(&F)", "ファイル/フォルダの設定(&F)"},
        {"btnShortCut", "ショートカットの設定(&S)", "ショートカットの設定(&S)"},
        {"btnRegistry", "レジストリの設定(&R)", "レジストリの設定(&G)"},
        {"btnIniFile", "INIファイルの設定(&I)", "INIファイルの設定(&I)"},
        {"btnUnInstallOption", "アンインストールの設定(&U)", "アンインストールの設定(&U)"},
        {"btnInstallerOption", "インストーラの設定(&O)", "インストーラの設定(&O)"},
    };
    return kTexts[static_cast<int>(kind)];
}

}  // namespace

std::string SettingButtonLabel(SettingEditorKind kind) { return sjis::S(Texts(kind).label); }
std::string SettingMenuCaption(SettingEditorKind kind) { return sjis::S(Texts(kind).menu); }
const char* SettingButtonName(SettingEditorKind kind) { return Texts(kind).name; }

EditOutcome RunSettingEditor(SettingEditorKind kind, SettingEditor& editor, ProjectCommands& commands,
                             HintGate& hints, Ui& ui) {
    if (!commands.ProjectOpen()) return EditOutcome::Failed;
    const auto& path = commands.project().projectFilePath;
    const bool readOnly = IsReadOnlyFile(path);
    TIniDocument project(path);
    if (project.LoadFailed()) {
        ui.Error(sjis::S("プロジェクトファイルを読み込めませんでした。"));
        return EditOutcome::Failed;
    }
    hints.Disable();
    editor.Fill(project, readOnly);
    hints.Enable();
    if (!editor.ShowModal()) return EditOutcome::Cancelled;
    if (readOnly) return EditOutcome::Viewed;
    editor.Write(project);
    if (!project.UpdateFile()) {
        ui.Error(sjis::S("プロジェクトファイルの保存に失敗しました。"));
        return EditOutcome::Failed;
    }
    commands.SetButtonCaption(static_cast<int>(kind), ButtonConfirmedMark());
    commands.SaveProjectStatus();
    return EditOutcome::Confirmed;
}

}  // namespace zeriru
