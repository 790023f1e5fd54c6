#include "zeriru/editors/registry_import_model.h"

#include "platform/sjis.h"
#include "zeriru/editors/binary_grid.h"

#include <cstdio>

namespace zeriru {

namespace sjis = platform::sjis;
namespace reg = platform::registry;

namespace {

std::string HexBytes(std::string_view bytes) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < bytes.size() && i < static_cast<std::size_t>(kBinaryValueLimit); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(bytes[i]));
        if (i > 0) text += ',';
        text += digits;
    }
    return text;
}

// A line break or a NUL cannot stand in a line of the project file.
bool FitsOneLine(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

std::optional<RegistryImportValue> ImportValue(const reg::NamedValue& named) {
    const reg::Value& v = named.value;
    if (!FitsOneLine(named.name) || (v.IsText() && !FitsOneLine(v.bytes))) return std::nullopt;
    switch (v.type) {
    case reg::ValueType::Sz: return RegistryImportValue{named.name, v.bytes, registry_value_type::kString};
    case reg::ValueType::ExpandSz: return RegistryImportValue{named.name, v.bytes, registry_value_type::kExpandString};
    case reg::ValueType::Dword:
        return RegistryImportValue{named.name, std::to_string(v.dword), registry_value_type::kDword};
    case reg::ValueType::Binary: return RegistryImportValue{named.name, HexBytes(v.bytes), registry_value_type::kBinary};
    default: return std::nullopt;
    }
}

}  // namespace

std::vector<RegistryImportValue> ReadImportValues(reg::Registry& registry, std::string_view root,
                                                  std::string_view key) {
    const std::optional<reg::Root> hive = reg::RootFromName(root);
    std::vector<reg::NamedValue> named;
    if (!hive || registry.EnumValues(*hive, key, &named) != reg::Status::Ok) return {};
    std::vector<RegistryImportValue> values;
    for (const reg::NamedValue& n : named)
        if (std::optional<RegistryImportValue> v = ImportValue(n)) values.push_back(std::move(*v));
    return values;
}

// ---- the import dialog ----

RegistryImportDialogModel::RegistryImportDialogModel(reg::Registry& registry) : registry_(registry) { Refill(); }

std::string RegistryImportDialogModel::Caption() { return sjis::S("レジストリのインポート"); }

std::vector<std::string> RegistryImportDialogModel::ColumnCaptions() {
    return {sjis::S("値名"), sjis::S("値"), sjis::S("種類")};
}

std::string RegistryImportDialogModel::TypeText(int type) {
    static const char* const kTexts[registry_value_type::kCount] = {"REG_SZ", "REG_EXPAND_SZ", "REG_DWORD",
                                                                     "REG_BINARY"};
    return type >= 0 && type < registry_value_type::kCount ? kTexts[type] : "";
}

void RegistryImportDialogModel::SetRoot(std::string root) {
    root_ = std::move(root);
    Refill();
}

void RegistryImportDialogModel::SetKey(std::string key) {
    key_ = std::move(key);
    Refill();
}

void RegistryImportDialogModel::Refill() { values_ = ReadImportValues(registry_, root_, key_); }

CheckOutcome RegistryImportDialogModel::Ok() const {
    if (!values_.empty()) return std::nullopt;
    return Fail(sjis::S("入力されたキーには対象となる値が存在しません"), "lvValues");
}

std::vector<RegistryItem> RegistryImportDialogModel::Items(const OsTarget& os) const {
    std::vector<RegistryItem> items;
    for (const RegistryImportValue& v : values_) {
        RegistryItem item;
        item.root = root_;
        item.subKey = key_;
        item.valueName = v.name;
        item.value = v.value;
        item.type = v.type;
        item.os = os;
        items.push_back(std::move(item));
    }
    return items;
}

// ---- the key browser ----

RegBrowserModel::RegBrowserModel(reg::Registry& registry)
    : Caption(sjis::S("レジストリキーを選択して下さい")), registry_(registry) {}

std::vector<std::string> RegBrowserModel::RootKeys() {
    std::vector<std::string> roots;
    for (reg::Root r : reg::kAllRoots) roots.emplace_back(reg::RootName(r));
    return roots;
}

std::vector<std::string> RegBrowserModel::SubKeys(std::string_view root, std::string_view path) const {
    std::vector<std::string> names;
    const std::optional<reg::Root> hive = reg::RootFromName(root);
    if (!hive || registry_.EnumSubKeys(*hive, path, &names) != reg::Status::Ok) return {};
    return names;
}

bool RegBrowserModel::HasSubKeys(std::string_view root, std::string_view path) const {
    return !SubKeys(root, path).empty();
}

RegBrowserModel::Location RegBrowserModel::Locate() const {
    Location where;
    const std::optional<reg::Root> hive = reg::RootFromName(Root);
    if (!hive) return where;
    where.root = reg::RootName(*hive);
    std::string path;
    for (const std::string& element : sjis::SplitSjis(Section, '\\')) {
        if (element.empty()) continue;
        std::string found;
        for (const std::string& name : SubKeys(where.root, path))
            if (sjis::EqualsNoCase(name, element)) found = name;
        if (found.empty()) break;
        path += (path.empty() ? "" : "\\") + found;
        where.keys.push_back(found);
    }
    return where;
}

void RegBrowserModel::Choose(const Location& node) {
    if (!OkEnabled(node)) return;
    Root = node.root;
    Section.clear();
    for (const std::string& key : node.keys) Section += (Section.empty() ? "" : "\\") + key;
}

}  // namespace zeriru
