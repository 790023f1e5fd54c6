// Model of the uninstall settings dialog TfrmUnInstallOptionDialog ("アンインストールの設定"):
// whether uninstalling is offered, system files and personal settings, the four lists that add
// to or restrict what is removed, and the uninstall information file. Fill reads the project,
// Ok checks in the dialog's order, Write writes every key and all four lists.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"
#include "zeriru/editors/item_sections.h"
#include "zeriru/editors/uninstall_items.h"
#include "zeriru/ini_document.h"

#include <array>
#include <string>
#include <string_view>

namespace zeriru {

// The four lists in the order of the dialog's pages and of the checks on OK.
enum class UninstallListKind : int { DeleteFile = 0, UnDeleteFile, DeleteRegistry, UnDeleteRegistry };
inline constexpr int kUninstallListCount = 4;

struct UninstallListInfo {
    ItemListSections sections;       // DeleteFileSetting / DeleteFileItems, ...
    std::string_view enableKey;      // [Installer] EnableDeleteFileSetting, ...
    std::string_view layoutKey;      // Dialog\DeleteFile, ... (column widths)
    std::string_view listName;       // object name of the list: "lvDeleteFile", ...
    std::string_view checkName;      // object name of its check box: "chkDeleteFile", ...
    std::string_view pageName;       // object name of its sub-page: "tsDeleteFile", ...
    bool registry;                   // a registry list (else files)
    UninstallList list;              // delete or keep
    const char* emptyMessage;        // UTF-8: shown when the list is used but empty
};
const UninstallListInfo& UninstallListOf(UninstallListKind kind);

// Uninstall information file methods ([UninstallSetting] InfoFileMethod).
enum InfoFileMethod : int { kInfoOverwrite = 0, kInfoAutomatic = 1, kInfoNamed = 2 };
inline constexpr int kInfoFileMethodCount = 3;

class UnInstallOptionDialogModel {
public:
    static std::string Caption();  // "アンインストールの設定"
    static std::string InfoFileMethodText(int method);
    // The name shown while the method is not 2.
    static constexpr std::string_view kDefaultInfoFileName = "install.dat";

    explicit UnInstallOptionDialogModel(bool readOnly = false);

    void Fill(const TIniDocument& project);

    DialogFrameModel frame;

    bool enableUninstall = true;
    bool systemFileDelete = false;
    bool systemFileDeleteMessage = true;
    bool personalSettingDeleteConfirm = false;
    // "システムファイル削除時に確認メッセージを表示する(&M)" is enabled only while system files go.
    bool SystemFileMessageEnabled() const { return systemFileDelete && !frame.readOnly(); }

    bool useUniqueKey() const { return useUniqueKey_; }
    // Checking the unique key sets the method to "自動設定", which then cannot be chosen.
    void SetUseUniqueKey(bool on);
    int infoFileMethod() const { return method_; }
    void SetInfoFileMethod(int method);
    bool MethodEnabled() const { return !useUniqueKey_ && !frame.readOnly(); }
    std::string infoFileName;
    bool InfoFileNameEnabled() const { return method_ == kInfoNamed && !frame.readOnly(); }

    bool listEnabled(UninstallListKind kind) const { return enabled_[Index(kind)]; }
    void SetListEnabled(UninstallListKind kind, bool on);
    ItemList& list(UninstallListKind kind) { return lists_[Index(kind)]; }
    const ItemList& list(UninstallListKind kind) const { return lists_[Index(kind)]; }

    // The checks of OK in order: the information file name (method 2), then every used list
    // must hold an item. The result names the control and its page.
    CheckOutcome Ok() const;
    // Every key of the dialog and the four lists; InfoFileName only with method 2.
    void Write(TIniDocument& project) const;

    // "アンインストール情報" page's object name, and the pages of the main dialog.
    static constexpr const char* kInformationPage = "tsInformation";

private:
    static std::size_t Index(UninstallListKind kind) { return static_cast<std::size_t>(kind); }
    CheckOutcome CheckInfoFileName() const;

    bool useUniqueKey_ = false;
    int method_ = kInfoOverwrite;
    std::array<bool, kUninstallListCount> enabled_{};
    std::array<ItemList, kUninstallListCount> lists_;
};

}  // namespace zeriru
