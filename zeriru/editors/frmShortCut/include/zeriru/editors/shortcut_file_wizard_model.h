// Model of the two pickers of the shortcut item dialog, both two-step wizards ("次へ(&N)"
// turning into "完了(&F)", "戻る(&B)"): the target dialog TfrmShortCutSelectDialog ("ファイルの
// 指定") and the icon file dialog TfrmIconFileSelectDialog ("アイコンファイルの指定").
//
// Step one chooses the source: a file the project installs ("「ファイル/フォルダの設定」で指定
// されたファイル"), an outside file below a folder define ("外部ファイル"), and for the target a
// folder ("フォルダ"), for the icon no icon at all ("指定しない", which finishes at once). Step two
// picks the file or builds the define text; finishing checks it and composes the result.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/installed_files.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class EditorData;
class Ui;

namespace shortcut_wizard_control {
inline constexpr const char* kFileList = "lvFiles";
inline constexpr const char* kDefine = "cmbDefine";
inline constexpr const char* kParameter = "edtParameter";
inline constexpr const char* kFileName = "edtFileName";
}  // namespace shortcut_wizard_control

class ShortCutFileWizardModel {
public:
    enum class Kind { Target, Icon };
    enum class Source { ProjectFile, OutsideFile, Folder, None };

    // `files`: what the project installs (its own list and its component files).
    ShortCutFileWizardModel(Kind kind, EditorData& data, std::vector<InstalledFile> files);

    // The files the project installs, read from the project the editor edits; `progress` gets
    // the Windows path of each file list before it is read (shown after "読み込み中").
    static std::vector<InstalledFile> ReadProjectFiles(EditorData& data,
                                                       const std::function<void(std::string_view)>& progress);
    static std::string ProgressText();  // "読み込み中"

    Kind kind() const { return kind_; }
    std::string Caption() const;   // "ファイルの指定" / "アイコンファイルの指定"
    std::string Question() const;  // "ショートカットの対象を選択してください" / "アイコンファイルの..."
    // The three sources of step one, in order, with their captions.
    const std::vector<Source>& sources() const { return sources_; }
    static std::string SourceCaption(Source source);

    // ---- steps ----
    int step() const { return step_; }
    Source source() const { return source_; }
    void SetSource(Source source);
    std::string NextCaption() const;  // "次へ(&N)" on step one, "完了(&F)" on step two
    bool BackEnabled() const { return step_ == 1; }
    void Back() { step_ = 0; }
    // "次へ"/"完了". On step one: "指定しない" finishes with an empty result, the others go to
    // step two. On step two: the checks, then the result. True when the wizard is finished
    // (result()); a failed check is returned in `failed` with the control to go back to.
    bool Next(CheckOutcome* failed);
    const std::string& result() const { return result_; }

    // ---- a file of the project ----
    // The files to list, when they are read after the wizard opened.
    void SetFiles(std::vector<InstalledFile> files);
    // Rows of the list: every file for the target, only icons, libraries and programs
    // (.ICO, .DLL, .EXE, .ICL) for the icon.
    const std::vector<InstalledFile>& rows() const { return rows_; }
    int selectedRow() const { return selectedRow_; }
    void SelectRow(int row);

    // ---- an outside file or a folder ----
    // The folder defines offered: the editor data's lists for the target, a fixed list for the
    // icon and for the folder.
    std::vector<std::string> DefineChoices() const;
    std::string define;
    std::string parameter;  // the parameters, as the parameter dialog gives them
    std::string fileName;
    void SetDefine(std::string text);
    // "%UnInstallerFileName%" names the uninstaller itself: no file name.
    bool FileNameVisible() const;
    // "詳細(&E)": the define parameter dialog on the define; on OK the parameter is replaced.
    bool EditParameters(Ui& ui, const DefineParamDialogRunner& dialog);
    // "参照(&R)": an open dialog with the filter of the kind; the file's name alone goes into
    // the field.
    bool BrowseFile(Ui& ui);
    static std::string TargetFileFilter();

    // The line below the list or the fields: where the file lands on this machine.
    std::string SamplePath() const;

private:
    CheckOutcome CheckStepTwo() const;
    std::string ComposeResult() const;

    Kind kind_;
    EditorData& data_;
    std::vector<Source> sources_;
    std::vector<InstalledFile> rows_;
    int step_ = 0;
    Source source_ = Source::ProjectFile;
    int selectedRow_ = -1;
    std::string result_;
};

}  // namespace zeriru
