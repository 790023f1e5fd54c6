#include "zeriru/frmFiles/files_small_dialogs.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;

// ---- AddPositionDialogModel ----

std::string AddPositionDialogModel::Caption() { return sjis::S("追加位置の指定"); }
std::string AddPositionDialogModel::GroupCaption() { return sjis::S("項目の追加位置を指定してください。"); }
std::string AddPositionDialogModel::DontShowCaption() { return sjis::S("今後表示しない(&D)"); }

std::string AddPositionDialogModel::ChoiceText(AddPosition position) {
    switch (position) {
    case AddPosition::AfterSelected: return sjis::S("現在選択している項目の後ろに追加する");
    case AddPosition::BeforeSelected: return sjis::S("現在選択している項目の前に追加する");
    case AddPosition::Top: return sjis::S("リストの先頭に追加する");
    case AddPosition::End: return sjis::S("リストの最後に追加する");
    }
    return {};
}

bool AddPositionDialogModel::Enabled(AddPosition position) const {
    return itemSelected_ || (position != AddPosition::AfterSelected && position != AddPosition::BeforeSelected);
}

std::string AddPositionDialogModel::DontShowMessage() {
    return sjis::S("以降、項目は常にリストの一番最後に追加されます。\r再度表示する場合は「ツール」の「追加位置を指定する」をチェックしてください。");
}

int InsertionRow(AddPosition position, int selected, int size) {
    const bool hasSelection = selected >= 0 && selected < size;
    switch (position) {
    case AddPosition::AfterSelected: return hasSelection ? selected + 1 : size;
    case AddPosition::BeforeSelected: return hasSelection ? selected : size;
    case AddPosition::Top: return 0;
    case AddPosition::End: return size;
    }
    return size;
}

// ---- KindConversionDialogModel ----

std::string KindConversionDialogModel::Caption() { return sjis::S("ファイル/フォルダ種別の変換"); }
std::string KindConversionDialogModel::Prompt() { return sjis::S("変換後の種別を選択してください。"); }
std::string KindConversionDialogModel::GroupCaption() { return sjis::S("種別"); }
std::string KindConversionDialogModel::ShowDetailsCaption() { return sjis::S("変換後詳細画面を表示する(&D)"); }

// ---- FolderSelectDialogModel ----

FolderSelectDialogModel::FolderSelectDialogModel(SettingsStore& store) : store_(store) {
    for (const std::string& entry : ReadRememberedList(store_, settings_key::kDialogFolder, kFolderHistoryEntries)) {
        if (entry.empty()) break;
        history_.push_back(entry);
    }
    if (!history_.empty()) folder = history_.front();
}

std::string FolderSelectDialogModel::Caption() { return sjis::S("フォルダからファイルの追加"); }
std::string FolderSelectDialogModel::BrowseCaption() {
    return sjis::S("構成ファイルの格納されているフォルダを指定してください。");
}

bool FolderSelectDialogModel::Ok(Ui& ui) {
    if (folder.empty()) {
        ui.ShowMessage(sjis::S("フォルダを入力してください。"));
        std::string chosen;
        if (ui.ChooseFolder(BrowseCaption(), chosen)) folder = chosen;
        return false;
    }
    if (const CheckOutcome failed = CheckFullPathRule(folder, "cmbFolder")) {
        ShowCheckMessage(ui, *failed);
        return false;
    }
    return true;
}

void FolderSelectDialogModel::Close() {
    if (folder.empty()) return;
    history_ = RememberFirst(store_, settings_key::kDialogFolder, folder, true, kFolderHistoryEntries);
}

}  // namespace zeriru
