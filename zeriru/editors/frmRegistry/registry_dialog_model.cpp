#include "zeriru/editors/registry_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace k = registry_key;

RegistryDialogModel::RegistryDialogModel(EditorData& data, platform::registry::Registry& registry,
                                         std::function<void(int, bool)> showHint)
    : data_(data), registry_(registry), showHint_(std::move(showHint)),
      items_(ItemListTexts::Defaults(5000), std::string(settings_key::kRegistry), RegistryColumnText) {}

std::string RegistryDialogModel::Caption() { return sjis::S("レジストリの設定"); }

void RegistryDialogModel::Load(const TIniDocument& project, bool readOnly) {
    data_.SetProject(&project);
    itemsSection_ = ItemsSectionName(project, k::kSetting, k::kDefaultItems);
    items_.Load(ReadItemsCounted(project, itemsSection_), project.ReadBool("Installer", k::kEnable, false), readOnly);
}

void RegistryDialogModel::Write(TIniDocument& project) const {
    WriteItems(project, itemsSection_, items_.records());
    project.WriteString(k::kSetting, key::kUseSection, itemsSection_);
    project.WriteBool("Installer", k::kEnable, items_.enabled());
}

RegistryItemDialogModel RegistryDialogModel::NewItemDialog() const {
    RegistryItemDialogModel dialog(data_, readOnly(), showHint_);
    dialog.Load(dialog.NewItem());
    return dialog;
}

RegistryItemDialogModel RegistryDialogModel::ItemDialogFor(int row) const {
    RegistryItemDialogModel dialog(data_, readOnly(), showHint_);
    dialog.Load(RegistryItem::Read(items_.list().record(row)));
    return dialog;
}

int RegistryDialogModel::Add(Ui& ui, const ItemDialogRunner& dialog) {
    if (readOnly() || !items_.CanAdd(ui)) return -1;
    RegistryItemDialogModel item = NewItemDialog();
    if (!dialog(item)) return -1;
    return items_.Add(item.Item().Write());
}

bool RegistryDialogModel::Edit(int row, const ItemDialogRunner& dialog) {
    if (row < 0 || row >= items_.size()) return false;
    RegistryItemDialogModel item = ItemDialogFor(row);
    if (!dialog(item) || readOnly()) return false;
    items_.Replace(row, item.Item().Write(items_.list().record(row)));
    return true;
}

int RegistryDialogModel::Copy(int row) { return readOnly() ? -1 : items_.Copy(row); }

bool RegistryDialogModel::Delete(Ui& ui, const std::vector<int>& rows) {
    return !readOnly() && items_.Delete(ui, rows);
}

bool RegistryDialogModel::Clear(Ui& ui) { return !readOnly() && items_.Clear(ui); }

void RegistryDialogModel::SortByColumn(int column) {
    if (column >= 0 && column < kRegistryRecordColumn) items_.SortByColumn(column);
}

int RegistryDialogModel::Import(Ui& ui, const ImportDialogRunner& dialog) {
    if (readOnly() || !items_.CanAdd(ui)) return 0;
    RegistryImportDialogModel import(registry_);
    if (!dialog(import)) return 0;
    int added = 0;
    for (const RegistryItem& item : import.Items(data_.projectOs())) {
        if (items_.Full()) {
            ui.ShowMessage(items_.LimitMessage());
            break;
        }
        items_.Append(item.Write());
        ++added;
    }
    items_.SetEnabled(true);
    return added;
}

bool RegistryDialogModel::ConfirmOk(Ui& ui) {
    if (!items_.enabled() || items_.size() > 0) return true;
    if (ui.AskYesNo(sjis::S("項目が登録されていません。リストに項目を追加しますか。"))) return false;
    items_.SetEnabled(false);
    return true;
}

}  // namespace zeriru
