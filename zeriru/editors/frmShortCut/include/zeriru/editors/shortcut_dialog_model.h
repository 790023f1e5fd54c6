// Model of the shortcut list dialog TfrmShortCutDialog ("ショートカットの設定"): the list of
// shortcuts with its switch "ショートカットを作成する(&R)" on the page "項目の設定", and on the
// page "オプション" the start-menu group, the choice of places at install time with the places
// checked at first, and the choice of the users the shortcuts are made for.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list_dialog_model.h"
#include "zeriru/editors/shortcut_item.h"
#include "zeriru/ini_document.h"

#include <functional>
#include <string>

namespace zeriru {

class EditorData;
class ShortCutItemDialogModel;
class Ui;

namespace shortcut_key {
inline constexpr std::string_view kSetting = "ShortCutSetting";
inline constexpr std::string_view kDefaultItems = "ShortCutItems";
inline constexpr std::string_view kEnable = "EnableShortCutSetting";
inline constexpr std::string_view kGroupName = "GroupName";
inline constexpr std::string_view kShowCheckBox = "ShowCheckBox";
inline constexpr std::string_view kDefaultCheckBox = "DefaultCheckBox";
inline constexpr std::string_view kVisibleSelectUser = "VisibleSelectUser";
inline constexpr std::string_view kCheckSelectUser = "CheckSelectUser";
inline constexpr std::string_view kEnableSelectUser = "EnableSelectUser";
inline constexpr std::string_view kViewStyle = "ViewStyle";
}  // namespace shortcut_key

// The places the user may pick at install time, checked at first by DefaultCheckBox bits 0-3:
// desktop, startup, send-to and quick launch.
inline constexpr int kInitialTargetCount = 4;

class ShortCutDialogModel {
public:
    enum Page { kItemsPage = 0, kOptionsPage = 1 };
    static constexpr int kPageCount = 2;

    explicit ShortCutDialogModel(EditorData& data);

    static std::string Caption();  // "ショートカットの設定"
    static std::string LimitMessage();

    // Reads the dialog's keys. `project` stays the editor's project while the dialog is open
    // (the target dialog lists its files, sample paths expand its install folder).
    void Load(const TIniDocument& project, bool readOnly);
    // OK: every key, the items section erased and written from "0" in list order.
    void Write(TIniDocument& project) const;

    ItemListDialogModel& items() { return items_; }
    const ItemListDialogModel& items() const { return items_; }
    bool readOnly() const { return items_.readOnly(); }
    bool changed() const { return items_.changed(); }

    // ---- the start-menu group ----
    // With the editor option UseAppName the field shows the application's name and is locked.
    bool usesAppName() const { return useAppName_; }
    bool GroupNameEditable() const { return !useAppName_ && !readOnly(); }
    // The text the field shows.
    const std::string& groupName() const { return useAppName_ ? appName_ : groupName_; }
    void SetGroupName(std::string name);
    // What OK stores as GroupName: no blanks at either end and no trailing "\".
    static std::string StoredGroupName(std::string_view name);

    // ---- install-time options ----
    bool showCheckBox() const { return showCheckBox_; }
    void SetShowCheckBox(bool on);
    // A place's box is enabled only while some item goes there, and cleared when it is not.
    static std::string InitialTargetCaption(int index);  // "デスクトップ", "スタートアップ", ...
    bool InitialTargetEnabled(int index) const;
    bool InitialTargetChecked(int index) const;
    void SetInitialTarget(int index, bool on);
    int defaultCheckBox() const { return defaultCheckBox_; }

    bool visibleSelectUser() const { return visibleSelectUser_; }
    // Unchecking clears the two boxes that depend on it.
    void SetVisibleSelectUser(bool on);
    bool SelectUserOptionsEnabled() const { return visibleSelectUser_ && !readOnly(); }
    bool checkSelectUser() const { return checkSelectUser_; }
    void SetCheckSelectUser(bool on);
    // "オプションを変更できないようにする(&D)": the inverse of EnableSelectUser.
    bool lockSelectUser() const { return !enableSelectUser_; }
    void SetLockSelectUser(bool on);

    // ---- list commands ----
    // Runs the item dialog on a model; true when it was closed with OK.
    using ItemDialogRunner = std::function<bool(ShortCutItemDialogModel&)>;
    // The item dialog's model for a new item or for `row`, with what the project offers.
    ShortCutItemDialogModel NewItemDialog() const;
    ShortCutItemDialogModel ItemDialogFor(int row) const;

    // "追加": the limit, then the item dialog; OK appends and turns the switch on. The new row,
    // -1 when nothing was added.
    int Add(Ui& ui, const ItemDialogRunner& dialog);
    // "編集": OK rewrites the record in place. A read-only project shows the item only.
    bool Edit(int row, const ItemDialogRunner& dialog);
    int Copy(int row);
    bool Delete(Ui& ui, int row);
    bool Clear(Ui& ui);
    void SortByColumn(int column);
    // After the list panel changed the list (delete, copy, clear): the switch and the places.
    void ListChanged();

    // ---- pages and view ----
    PageSwitcher& pages() { return pages_; }
    const PageSwitcher& pages() const { return pages_; }
    // Details view (ViewStyle 1) or list view (0).
    bool detailsView() const { return detailsView_; }
    void SetDetailsView(bool on) { detailsView_ = on; }
    // On closing, however the dialog closes: the view and the page shown.
    void StoreLayout();

    // ---- closing ----
    // OK, first: the group name by the sub-path rule (the page "オプション" shown).
    CheckOutcome CheckOk() const;
    // OK, then: the switch on and no item asks "項目が登録されていませんがよろしいですか。";
    // No turns the switch off and keeps the dialog open. True when the dialog closes.
    bool ConfirmOk(Ui& ui);
    bool ConfirmCancel(Ui& ui) const { return items_.ConfirmDiscard(ui); }

private:
    void UpdateInitialTargets();
    int UsedTargets() const;

    EditorData& data_;
    ItemListDialogModel items_;
    std::string itemsSection_;
    bool useAppName_ = false;
    std::string appName_;
    std::string groupName_;
    bool showCheckBox_ = true;
    int defaultCheckBox_ = 0;
    bool visibleSelectUser_ = false;
    bool checkSelectUser_ = false;
    bool enableSelectUser_ = true;
    PageSwitcher pages_;
    bool detailsView_ = true;
};

}  // namespace zeriru
