#include "zeriru/editors/ini_dialog_model.h"

#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <fstream>
#include <sstream>

namespace zeriru {

namespace sjis = platform::sjis;
namespace profile = platform::profile;
namespace k = ini_key;

namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string BareName(std::string_view path) {
    const std::size_t slash = sjis::FindLastChar(path, '\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::vector<IniItem> ReadIniFileItems(const std::vector<std::string>& windowsPaths, const OsTarget& os,
                                      std::size_t room) {
    std::vector<IniItem> items;
    for (const std::string& path : windowsPaths) {
        const std::optional<std::filesystem::path> host = platform::winpath::ToHostPath(path);
        if (!host) continue;
        const std::string text = ReadText(*host);
        for (const std::string& section : profile::GetPrivateProfileSectionNames(*host)) {
            for (const std::string& key : profile::GetPrivateProfileKeyNames(section, *host)) {
                if (items.size() >= room) return items;
                IniItem item;
                item.fileName = BareName(path);
                item.section = section;
                item.valueName = key;
                item.value = profile::FindProfileValue(text, section, key).value_or("");
                item.os = os;
                items.push_back(std::move(item));
            }
        }
    }
    return items;
}

IniDialogModel::IniDialogModel(EditorData& data, std::function<void(int, bool)> showHint)
    : data_(data), showHint_(std::move(showHint)),
      items_(ItemListTexts::Defaults(5000), std::string(settings_key::kIniFile), IniColumnText) {}

std::string IniDialogModel::Caption() { return sjis::S("INIファイルの設定"); }

std::string IniDialogModel::ImportFilter() { return sjis::S("INIファイル(*.ini)|*.ini|すべてのファイル(*.*)|*.*"); }

void IniDialogModel::Load(const TIniDocument& project, bool readOnly) {
    data_.SetProject(&project);
    itemsSection_ = ItemsSectionName(project, k::kSetting, k::kDefaultItems);
    items_.Load(ReadItemsCounted(project, itemsSection_), project.ReadBool("Installer", k::kEnable, false), readOnly);
}

void IniDialogModel::Write(TIniDocument& project) const {
    WriteItems(project, itemsSection_, items_.records());
    project.WriteString(k::kSetting, key::kUseSection, itemsSection_);
    project.WriteBool("Installer", k::kEnable, items_.enabled());
}

IniItemDialogModel IniDialogModel::NewItemDialog() const {
    IniItemDialogModel dialog(data_, readOnly(), showHint_);
    dialog.Load(dialog.NewItem());
    return dialog;
}

IniItemDialogModel IniDialogModel::ItemDialogFor(int row) const {
    IniItemDialogModel dialog(data_, readOnly(), showHint_);
    dialog.Load(IniItem::Read(items_.list().record(row)));
    return dialog;
}

int IniDialogModel::Add(Ui& ui, const ItemDialogRunner& dialog) {
    if (readOnly() || !items_.CanAdd(ui)) return -1;
    IniItemDialogModel item = NewItemDialog();
    if (!dialog(item)) return -1;
    return items_.Add(item.Item().Write());
}

bool IniDialogModel::Edit(int row, const ItemDialogRunner& dialog) {
    if (row < 0 || row >= items_.size()) return false;
    IniItemDialogModel item = ItemDialogFor(row);
    if (!dialog(item) || readOnly()) return false;
    items_.Replace(row, item.Item().Write(items_.list().record(row)));
    return true;
}

int IniDialogModel::Copy(int row) { return readOnly() ? -1 : items_.Copy(row); }

bool IniDialogModel::Delete(Ui& ui, const std::vector<int>& rows) { return !readOnly() && items_.Delete(ui, rows); }

bool IniDialogModel::Clear(Ui& ui) { return !readOnly() && items_.Clear(ui); }

void IniDialogModel::SortByColumn(int column) {
    if (column >= 0 && column < kIniRecordColumn) items_.SortByColumn(column);
}

int IniDialogModel::Import(Ui& ui) {
    if (readOnly()) return 0;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::OpenMany;
    request.filter = ImportFilter();
    if (!ui.ChooseFiles(request) || request.paths.empty()) return 0;
    BusyCursor busy(ui);
    const std::size_t room = items_.list().texts().limit > items_.size()
                                 ? static_cast<std::size_t>(items_.list().texts().limit - items_.size())
                                 : 0;
    const std::vector<IniItem> imported = ReadIniFileItems(request.paths, data_.projectOs(), room);
    for (const IniItem& item : imported) items_.Append(item.Write());
    if (items_.size() > 0) items_.SetEnabled(true);
    items_.MarkChanged();
    return static_cast<int>(imported.size());
}

bool IniDialogModel::ConfirmOk(Ui& ui) {
    if (!items_.enabled() || items_.size() > 0) return true;
    if (!ui.AskYesNo(sjis::S("項目が登録されていませんがよろしいですか。"))) return false;
    items_.SetEnabled(false);
    return true;
}

}  // namespace zeriru
