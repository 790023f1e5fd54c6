// Model of the options dialog "オプション" (frmConfigDialog): four pages over the editor
// options, the rules that enable or show controls, the OK check and what OK and Cancel write.
#pragma once

#include "zeriru/editor_settings.h"

#include <string>

namespace zeriru {

class Ui;

class OptionsDialogModel {
public:
    enum Page { kBasic = 0, kInstallFile = 1, kSystem = 2, kAutoUpdate = 3 };
    static constexpr int kPageCount = 4;

    // Reads the options; opens on the remembered page when the last state is kept.
    explicit OptionsDialogModel(EditorSettings& settings);

    static std::string Caption();
    static std::string PageCaption(int page);
    // Filter of the external editor's file dialog.
    static std::string EditorFileFilter();

    const EditorOptions& options() const { return options_; }
    // Direct access for the controls without rules of their own.
    EditorOptions& edit() { return options_; }

    int page() const { return page_; }
    void SetPage(int page);
    // Ctrl+PageDown / Ctrl+PageUp, wrapping around.
    void NextPage();
    void PreviousPage();

    // "ファイル作成時にファイル構成をチェックする(&C)": unticking it also unticks the duplicate hint.
    void SetCheckFileList(bool on);
    bool SkipMessageEnabled() const { return options_.checkFileList; }
    void SetSkipMessage(bool on);
    // The mode radio group; advanced mode shows the installation information file group.
    void SetMode(int mode);
    bool InformationGroupVisible() const { return options_.mode == 1; }
    // The external editor field and its browse button follow the edit box.
    bool ExternalEditorEnabled() const { return options_.editInformation; }
    void SetProxyPort(int port);

    // "参照(&B)": the file dialog for the external editor.
    bool BrowseEditor(Ui& ui);
    // "すべてのヒントを表示する": on Yes every hint shows again, at once.
    bool ShowAllHints(Ui& ui);

    // OK: refuses (message, page "自動更新", URL focused) when the update check is on without
    // an address; otherwise resets the last pages of the application, shortcut and installer
    // option editors, writes every option and returns true.
    bool Ok(Ui& ui);
    // True after Ok refused for the missing address: the URL field takes the focus.
    bool focusUrl() const { return focusUrl_; }
    // Cancel writes nothing but the page the dialog was on.
    void Cancel();

private:
    EditorSettings& settings_;
    EditorOptions options_;
    int page_ = 0;
    bool focusUrl_ = false;
};

}  // namespace zeriru
